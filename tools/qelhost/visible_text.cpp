// Control characters shown as escapes, everything else as it is.
#include "tools/qelhost/visible_text.h"

namespace qel::qelhost {
namespace {

// UTF-8 encodes U+0080 to U+009F as 0xC2 followed by this byte.
bool isC1Tail(unsigned char c) { return c >= 0x80 && c <= 0x9F; }

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
    } else if (c == 0xC2 && i + 1 < text.size() && isC1Tail(static_cast<unsigned char>(text[i + 1]))) {
      appendEscape(out, static_cast<unsigned char>(text[++i]));
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace qel::qelhost
