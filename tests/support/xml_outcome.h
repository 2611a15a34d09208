// What a parse of XML gave, as far as our readers can tell: the error, and
// the tree of nodes with their names and texts (attributes are not read).
#pragma once

#include <tinyxml2.h>

#include <string>
#include <string_view>

namespace qel::test {

inline void describeNodes(const tinyxml2::XMLNode& parent, std::string& out) {
  for (const tinyxml2::XMLNode* node = parent.FirstChild(); node != nullptr; node = node->NextSibling()) {
    const char* kind = node->ToElement()       ? "element "
                       : node->ToText()        ? (node->ToText()->CData() ? "cdata " : "text ")
                       : node->ToComment()     ? "comment "
                       : node->ToDeclaration() ? "declaration "
                                               : "unknown ";
    out += kind;
    out += node->Value();
    out += node->ToElement() ? " {\n" : "\n";
    describeNodes(*node, out);
    if (node->ToElement()) out += "}\n";
  }
}

// The error code, line and message, then one line per node.
inline std::string describeParse(const tinyxml2::XMLDocument& document) {
  std::string out = std::to_string(document.ErrorID()) + " line " + std::to_string(document.ErrorLineNum()) + " " +
                    document.ErrorStr() + "\n";
  describeNodes(document, out);
  return out;
}

}  // namespace qel::test
