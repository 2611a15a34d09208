// The Linux side of the command-line host: the terminal, the library's
// version marker and Windows-1252 host text.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "platform/cp1252.h"
#include "platform/platform.h"
#include "tools/qelhost/system.h"

namespace qel::qelhost {
namespace {

// The library carries its version as an SCCS "what" string: this marker,
// the version, and a NUL.
constexpr char kVersionMarker[] = "@(#)QelConnect ";

// Decodes UTF-8 leniently: a byte that does not start a well-formed sequence
// stands for itself, so a Latin-1 typo in an order file still arrives.
std::u32string decodeUtf8(const std::string& bytes) {
  std::u32string out;
  for (std::size_t i = 0; i < bytes.size();) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t c = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    bool wellFormed = length > 0 && i + length <= bytes.size();
    for (std::size_t k = 1; wellFormed && k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      wellFormed = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!wellFormed) {
      out += b;
      ++i;
      continue;
    }
    out += c;
    i += length;
  }
  return out;
}

char encodeCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t k = 0; k < 32; ++k) {
    if (platform::detail::kCp1252High[k] == c) return static_cast<char>(0x80 + k);
  }
  return '?';
}

}  // namespace

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }

void paintHeldBoxActive() {}

std::string libraryVersion(const std::filesystem::path& library) {
  std::ifstream in(library, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + library.u8string());
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t marker = bytes.find(kVersionMarker);
  if (marker == std::string::npos) throw std::runtime_error(library.u8string() + " carries no version marker");
  const std::size_t start = marker + std::strlen(kVersionMarker);
  const std::size_t end = bytes.find('\0', start);
  if (end == std::string::npos || end == start)
    throw std::runtime_error(library.u8string() + " has a broken version marker");
  return bytes.substr(start, end - start);
}

std::string utf8ToHostText(const std::string& utf8) {
  std::string out;
  for (char32_t c : decodeUtf8(utf8)) out += encodeCp1252(c);
  return out;
}

}  // namespace qel::qelhost
