# The library's version from the one place that sets it, project(VERSION ...):
# a VERSIONINFO resource in the Windows DLL, a "what" string in the .so.

# The maker that the DLL's Details tab names (CompanyName, LegalCopyright).
# A fixed year, not the build's, keeps the package reproducible.
set(QEL_COMPANY_NAME "QelConnect" CACHE STRING "CompanyName in the DLL's version resource")
set(QEL_COPYRIGHT_YEAR "2026" CACHE STRING "Year of LegalCopyright in the DLL's version resource")

function(qel_add_version target)
  if(WIN32)
    # VERSIONINFO takes four numbers; a version without tweak ends in 0.
    set(tweak 0)
    if(NOT "${PROJECT_VERSION_TWEAK}" STREQUAL "")
      set(tweak ${PROJECT_VERSION_TWEAK})
    endif()
    set(QEL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${tweak}")
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version.rc)
  else()
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version_marker.cpp.in
                   ${CMAKE_CURRENT_BINARY_DIR}/version_marker.cpp @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/version_marker.cpp)
  endif()
endfunction()
