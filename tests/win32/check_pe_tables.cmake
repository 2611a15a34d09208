# Run as a script (cmake -P): checks the DLL's PE export and import tables.
#   -DOBJDUMP=<i686-w64-mingw32-objdump> -DDLL=<QelConnect.dll>
# The host finds the thirteen exports by their plain names and ordinals 1 to
# 13 in alphabetical order; the DLL must load with nothing but system DLLs
# beside it.
cmake_minimum_required(VERSION 3.20)

set(expected_exports
  hrDoShift hrECConfig hrECDeInit hrECExecute hrECGetModuleFeatures hrECGetModuleInfo
  hrECGetPayStatus hrECInit hrECRecover hrECRefund hrReprintECReceipt vECGetLastErrorText
  vECShowLastErrorText)
# DLLs that every Windows installation carries (compared in lower case).
set(system_dlls advapi32.dll bcrypt.dll crypt32.dll gdi32.dll kernel32.dll msvcrt.dll ntdll.dll
  secur32.dll user32.dll ws2_32.dll)

include(${CMAKE_CURRENT_LIST_DIR}/pe_dump.cmake)

set(failures "")
set(base "")
set(exports "")
set(in_names FALSE)
set(imports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Ordinal Base[ \t]+([0-9]+)")
    set(base ${CMAKE_MATCH_1})
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]+\\[ *([0-9]+)\\] (.+)$")
    # The bracketed number is the entry's index in the export address table;
    # the ordinal is that index plus the ordinal base.
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND exports "${ordinal}=${CMAKE_MATCH_2}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    list(APPEND imports ${dll})
  endif()
endforeach()

set(wanted "")
set(ordinal 1)
foreach(name IN LISTS expected_exports)
  list(APPEND wanted "${ordinal}=${name}")
  math(EXPR ordinal "${ordinal} + 1")
endforeach()
if(NOT exports STREQUAL wanted)
  string(APPEND failures "exports (ordinal=name) are\n  ${exports}\nexpected\n  ${wanted}\n")
endif()
foreach(entry IN LISTS exports)
  if(entry MATCHES "[@?]|=_")
    string(APPEND failures "decorated export name: ${entry}\n")
  endif()
endforeach()

if(NOT imports)
  string(APPEND failures "no import table found\n")
endif()
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system_dlls)
    string(APPEND failures "imports ${dll}, which is not a system DLL\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${DLL}:\n${failures}")
endif()
list(JOIN imports ", " import_list)
message(STATUS "13 exports with ordinals 1..13; imports only ${import_list}")
