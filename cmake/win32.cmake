# Windows (mingw-w64 i686) side of the build: the statically built libcurl
# and tinyxml2, the resource compiler, and the flags that keep the DLL free of
# any mingw runtime DLL.
enable_language(RC)

if(NOT QEL_WIN_DEPS)
  set(QEL_WIN_DEPS "${PROJECT_SOURCE_DIR}/build/win32-deps/prefix" CACHE PATH
      "Prefix of the statically built Windows dependencies")
endif()
foreach(lib libcurl.a libtinyxml2.a)
  if(NOT EXISTS "${QEL_WIN_DEPS}/lib/${lib}")
    message(FATAL_ERROR "${QEL_WIN_DEPS}/lib/${lib} is missing: run scripts/build-win-deps.sh first")
  endif()
endforeach()

# libcurl with Schannel, built from Debian's source package. The system
# libraries are the ones its TLS, sockets and SSPI code call into.
add_library(qel::curl STATIC IMPORTED GLOBAL)
set_target_properties(qel::curl PROPERTIES
  IMPORTED_LOCATION "${QEL_WIN_DEPS}/lib/libcurl.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QEL_WIN_DEPS}/include"
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;secur32;advapi32")

add_library(qel::tinyxml2 STATIC IMPORTED GLOBAL)
set_target_properties(qel::tinyxml2 PROPERTIES
  IMPORTED_LOCATION "${QEL_WIN_DEPS}/lib/libtinyxml2.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QEL_WIN_DEPS}/include")

set(QEL_PLATFORM_SOURCE win32.cpp win32_calls.cpp win32_errors.cpp win32_files.cpp win32_progress.cpp win32_protect.cpp
                        record_files.cpp transfer_progress.cpp)

# Wide-character Win32 API by default, and no min/max macros to trip over
# std::min and std::max.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)

# SSE2 arithmetic instead of the x87 unit: doubles are rounded to 64 bits at
# every step, as on x86_64, so both targets compute the same amounts.
add_compile_options(-msse2 -mfpmath=sse)

# No path of the machine that built the binaries reaches them: __FILE__ and
# the debug information name the sources from the tree's top (the build
# folder last, the more specific of the two, so that it wins).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)

# libgcc, libstdc++ and winpthread are linked into every module, so the DLL
# and the test programs import nothing but system DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)
# The linker would write the time of the link into the PE header and the
# export directory; without it two links of the same sources give the same
# bytes, which the release package relies on.
add_link_options(-Wl,--no-insert-timestamp)
# The linker would otherwise derive a DLL's preferred load address from a
# hash of the output path it is given, so the same DLL linked into another
# folder would differ. The address is the one that hash gave QelConnect.dll;
# Windows relocates the DLL anyway (DYNAMIC_BASE).
string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--image-base,0x63600000")
string(APPEND CMAKE_C_STANDARD_LIBRARIES " -Wl,-Bstatic -lpthread")
string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -Wl,-Bstatic -lpthread")

# windres looks for the template files named in templates.rc beside it.
string(APPEND CMAKE_RC_FLAGS " -I${PROJECT_SOURCE_DIR}/render/templates")
