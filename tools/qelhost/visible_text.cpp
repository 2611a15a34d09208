// Control characters shown as escapes, everything else as it is.
#include "tools/qelhost/visible_text.h"

namespace qel::qelhost {
namespace {

// True when `pair` is a C1 control character, U+0080 to U+009F, which
// UTF-8 encodes as 0xC2 and a byte from 0x80 to 0x9F.
bool isC1(std::string_view pair) {
  return pair.size() == 2 && pair[0] == '\xC2' && static_cast<unsigned char>(pair[1]) >= 0x80 &&
         static_cast<unsigned char>(pair[1]) <= 0x9F;
}

void appendEscape(std::string& out, unsigned char code) {
  constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[code >> 4];
  out += kDigits[code & 0x0F];
}

}  // namespace

std::string visibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      appendEscape(out, c);
    } else if (isC1(text.substr(i, 2))) {
      appendEscape(out, static_cast<unsigned char>(text[++i]));
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace qel::qelhost
