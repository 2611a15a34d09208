# Included by the cmake -P scripts that read the DLL's PE tables: sets
# `lines` to the lines of `objdump -p` for ${DLL} (with ${OBJDUMP}), each a
# list element.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REPLACE ";" "\\;" dump "${dump}")
string(REPLACE "\n" ";" lines "${dump}")
