// The character classes of tinyxml2 9.0.0's parser, byte for byte.
#pragma once

#include <cctype>

namespace qel::xml {

// Bytes of multi-byte UTF-8 sequences are never white space.
inline bool isWhiteSpace(char c) {
  return (static_cast<unsigned char>(c) & 0x80) == 0 && std::isspace(static_cast<unsigned char>(c));
}

// Every byte from 128 up starts a name, as tinyxml2 does not decode UTF-8.
inline bool isNameStartChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 128 || std::isalpha(u) || u == ':' || u == '_';
}

inline bool isNameChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return isNameStartChar(c) || std::isdigit(u) || u == '.' || u == '-';
}

}  // namespace qel::xml
