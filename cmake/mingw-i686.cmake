# Toolchain for the 32-bit Windows DLL: Debian's mingw-w64 i686 cross compilers
# in their posix thread model (std::mutex and GoogleTest need it), with Wine
# as the emulator so that CTest can run the cross-built tests here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QEL_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QEL_MINGW_TRIPLE}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${QEL_MINGW_TRIPLE}-ranlib CACHE FILEPATH "Archive indexer")

# The statically built libcurl, tinyxml2 and GoogleTest live in a prefix inside
# the build tree (scripts/build-win-deps.sh); searches for target libraries
# and packages stay inside the cross sysroot and that prefix.
get_filename_component(QEL_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(QEL_WIN_DEPS "${QEL_SOURCE_ROOT}/build/win32-deps/prefix" CACHE PATH
    "Prefix of the statically built Windows dependencies")
set(CMAKE_FIND_ROOT_PATH /usr/${QEL_MINGW_TRIPLE} ${QEL_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "${QEL_SOURCE_ROOT}/scripts/wine-run.sh")
