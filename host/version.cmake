# The version from the one place that sets it, project(VERSION ...): a
# VERSIONINFO resource in the Windows DLL and qelhost.exe, a "what" string in
# the .so.

# The maker that the DLL's Details tab names (CompanyName, LegalCopyright).
# A fixed year, not the build's, keeps the package reproducible.
set(QEL_COMPANY_NAME "QelConnect" CACHE STRING "CompanyName in the DLL's version resource")
set(QEL_COPYRIGHT_YEAR "2026" CACHE STRING "Year of LegalCopyright in the DLL's version resource")

# qel_add_version(QelConnect) for the DLL, qel_add_version(qelhost PROGRAM)
# for the command-line host (a resource on Windows only).
function(qel_add_version target)
  set(QEL_FILE_TYPE VFT_DLL)
  set(QEL_ORIGINAL_FILENAME QelConnect.dll)
  set(QEL_INTERNAL_NAME QelConnect)
  set(QEL_DESCRIPTION_DE "QelConnect Zahlungsmodul: übergibt Verkäufe und Erstattungen an die SAP-Kasse")
  set(QEL_DESCRIPTION_EN "QelConnect payment module: hands sales and refunds to the SAP cash register")
  if("${ARGV1}" STREQUAL "PROGRAM")
    set(QEL_FILE_TYPE VFT_APP)
    set(QEL_ORIGINAL_FILENAME ${target}.exe)
    set(QEL_INTERNAL_NAME ${target})
    set(QEL_DESCRIPTION_DE "QelConnect Prüf- und Testprogramm: prüft die Einstellungen, Testverkauf über QelConnect.dll")
    set(QEL_DESCRIPTION_EN "QelConnect check and test program: checks the settings, test sale through QelConnect.dll")
  endif()
  if(WIN32)
    # VERSIONINFO takes four numbers; a version without tweak ends in 0.
    set(tweak 0)
    if(NOT "${PROJECT_VERSION_TWEAK}" STREQUAL "")
      set(tweak ${PROJECT_VERSION_TWEAK})
    endif()
    set(QEL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${tweak}")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
  elseif(NOT "${ARGV1}" STREQUAL "PROGRAM")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version_marker.cpp.in
                   ${CMAKE_CURRENT_BINARY_DIR}/version_marker.cpp @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version_marker.cpp)
  endif()
endfunction()
