# Run as a script (cmake -P) before the request templates are embedded, in
# both trees: the library copies template bytes as they are, which is right
# only for ASCII, so any other byte stops the build.
#   -DTEMPLATE_FILES=<file;file...> -DSTAMP=<file written when all pass>
foreach(file IN LISTS TEMPLATE_FILES)
  file(READ "${file}" hex HEX)
  string(REGEX MATCHALL "[0-9a-f][0-9a-f]" bytes "${hex}")
  set(offset 0)
  foreach(byte IN LISTS bytes)
    if(byte MATCHES "^[89a-f]")
      message(FATAL_ERROR "${file}: byte 0x${byte} at offset ${offset} is not ASCII; request templates must be ASCII")
    endif()
    math(EXPR offset "${offset} + 1")
  endforeach()
endforeach()
file(WRITE "${STAMP}" "")
