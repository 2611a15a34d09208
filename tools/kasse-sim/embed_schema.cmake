# Run as a script (cmake -P): turns docs/kasse.xsd into a C++ source, so that
# kasse-sim validates against the contract it was built with, wherever it runs.
#   -DINPUT=<kasse.xsd> -DOUTPUT=<generated .cpp>
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
set(out "// Generated at build time from docs/kasse.xsd; do not edit.\n")
string(APPEND out "#include \"tools/kasse-sim/request_schema.h\"\n\nnamespace qel::sim {\nnamespace {\n")
string(APPEND out "const unsigned char kKasseXsd[] = {${bytes}};\n}  // namespace\n\n")
string(APPEND out "std::string_view embeddedKasseSchema() {\n")
string(APPEND out "  return std::string_view(reinterpret_cast<const char*>(kKasseXsd), sizeof kKasseXsd);\n}\n\n")
string(APPEND out "}  // namespace qel::sim\n")
file(WRITE "${OUTPUT}.tmp" "${out}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
