# Native (POSIX) dependencies: Debian's libcurl (OpenSSL) and tinyxml2.
find_package(PkgConfig REQUIRED)
find_package(CURL REQUIRED)
pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
add_library(qel::curl ALIAS CURL::libcurl)
add_library(qel::tinyxml2 ALIAS PkgConfig::TINYXML2)
set(QEL_PLATFORM_SOURCE posix.cpp posix_calls.cpp posix_errors.cpp posix_files.cpp posix_progress.cpp posix_protect.cpp
                        posix_signals.cpp record_files.cpp transfer_progress.cpp)
