# Run as a script (cmake -P): compares the DLL's imported functions with the
# reviewed list.
#   -DOBJDUMP=<i686-w64-mingw32-objdump> -DDLL=<QelConnect.dll> -DREVIEWED=<reviewed_imports.txt>
# Every function that the DLL imports must be on the list, and every entry of
# the list must still be imported (see the list's head for why).
cmake_minimum_required(VERSION 3.20)

include(${CMAKE_CURRENT_LIST_DIR}/pe_dump.cmake)

# objdump lists each DLL's imports under "DLL Name: X" as lines of a tab,
# the address, a tab, the hint and the name; an import by ordinal has no name
# and shows as "<none>" or a bare number, which counts as its own entry.
set(imported "")
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
  elseif(line MATCHES "^The Export Tables")
    set(dll "")
  elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +([0-9]+) +([^ \t]+)$")
    list(APPEND imported "${dll} ${CMAKE_MATCH_2}")
  elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +([0-9]+) *$")
    list(APPEND imported "${dll} ordinal ${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES imported)
if(NOT imported)
  message(FATAL_ERROR "no imported functions found in ${DLL}")
endif()

file(STRINGS ${REVIEWED} entries)
set(reviewed "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "#.*$" "" entry "${entry}")
  string(STRIP "${entry}" entry)
  string(REGEX REPLACE "[ \t]+" " " entry "${entry}")
  if(entry)
    list(APPEND reviewed "${entry}")
  endif()
endforeach()

set(failures "")
foreach(function IN LISTS imported)
  if(NOT function IN_LIST reviewed)
    string(APPEND failures "  new import, not reviewed: ${function}\n")
  endif()
endforeach()
foreach(function IN LISTS reviewed)
  if(NOT function IN_LIST imported)
    string(APPEND failures "  no longer imported: ${function}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${DLL} and ${REVIEWED} differ:\n${failures}"
                      "Check that each new function exists on Windows 7 SP1 before adding it to the list.")
endif()
list(LENGTH imported count)
message(STATUS "${count} imported functions, each on the reviewed list")
