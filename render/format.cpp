// Value formatting and XML escaping, written without the C runtime's printf
// so that the text is the same on every runtime and under every locale.
#include "render/format.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "base/utf8.h"

namespace qel {
namespace {

// The largest double has 309 integer digits; sign, point and two decimals
// make 313 characters.
using AmountBuffer = char[320];
using IntBuffer = char[16];

// Every character that XML 1.0 allows in a document: TAB, LF, CR and U+0020
// onwards, except the surrogates (handled by the caller), U+FFFE and U+FFFF,
// and nothing above U+10FFFF.
bool isXmlChar(std::uint32_t c) {
  if (c < 0x20) return c == 0x09 || c == 0x0A || c == 0x0D;
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  if (c == 0xFFFE || c == 0xFFFF) return false;
  return c <= 0x10FFFF;
}

bool isHighSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

const wchar_t* entityFor(wchar_t c) {
  switch (c) {
    case L'&':
      return L"&amp;";
    case L'"':
      return L"&quot;";
    case L'\'':
      return L"&apos;";
    case L'<':
      return L"&lt;";
    case L'>':
      return L"&gt;";
    default:
      return nullptr;
  }
}

// Writes "%.2f" of `value` into [first, last) and returns the end. An order
// holds thousands of amounts, and the general conversion of std::to_chars
// costs several times more than the amount itself needs: a finite double is
// m * 2^k with an integer m below 2^53, so its exact value in hundredths,
// 100 * m * 2^k, is an integer shifted right by -k bits; the bits shifted
// out decide the rounding, half to even on the exact value as printf
// rounds. Values of 2^56 and above, NaN and infinity take std::to_chars.
char* writeAmount(char* first, char* last, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = -1074;  // subnormal numbers
  if (biasedExponent != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biasedExponent - 1075;
  }
  if (biasedExponent == 0x7FF || exponent > 3) {
    return std::to_chars(first, last, value, std::chars_format::fixed, 2).ptr;
  }
  const std::uint64_t scaled = 100 * mantissa;  // below 2^60
  std::uint64_t hundredths = 0;
  if (exponent >= 0) {
    hundredths = scaled << exponent;  // below 2^63
  } else if (exponent > -64) {
    const int shift = -exponent;
    hundredths = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (hundredths & 1) != 0)) ++hundredths;
  }
  // Below 2^-64 * 2^60 hundredths the value rounds to zero; printf keeps the
  // sign of a negative value all the same ("-0.00").
  char* p = first;
  if (negative) *p++ = '-';
  p = std::to_chars(p, last, hundredths / 100).ptr;
  *p++ = '.';
  *p++ = static_cast<char>('0' + hundredths % 100 / 10);
  *p++ = static_cast<char>('0' + hundredths % 10);
  return p;
}

}  // namespace

double roundDecimals(double value, int decimals) {
  const double p = decimals == 2 ? 100.0 : std::pow(10.0, decimals);
  return std::floor(value * p + 0.5) / p;
}

void appendBool(TextBuffer& out, std::uint8_t flag) { out.append(flag != 0 ? "true" : "false"); }

// The numbers are written straight into the document.
void appendInt(TextBuffer& out, std::int32_t value) {
  char* room = out.room(sizeof(IntBuffer));
  out.commit(std::to_chars(room, room + sizeof(IntBuffer), value).ptr);
}

void appendAmount(TextBuffer& out, double value) {
  char* room = out.room(sizeof(AmountBuffer));
  out.commit(writeAmount(room, room + sizeof(AmountBuffer), value));
}

// One pass does what the five replacements (ampersand first) do in turn, and
// also drops what XML 1.0 cannot carry at all: control characters other than
// TAB, LF and CR, U+FFFE, U+FFFF, unpaired surrogates, and on 32-bit wide
// strings any surrogate and anything above U+10FFFF. What it keeps is always
// a whole character (a surrogate pair on 16-bit wide strings), encoded in
// UTF-8 on its own.
void appendEscapedXml(TextBuffer& out, std::wstring_view text) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const wchar_t c = text[i];
    const auto code = static_cast<std::uint32_t>(c);
    if (code < 0x80 && code >= 0x20) {
      if (const wchar_t* entity = entityFor(c)) {
        for (; *entity != L'\0'; ++entity) out.push_back(static_cast<char>(*entity));
      } else {
        out.push_back(static_cast<char>(c));
      }
    } else if (isXmlChar(code)) {
      appendUtf8(out, code);
    } else if (sizeof(wchar_t) == 2 && isHighSurrogate(code) && i + 1 < n &&
               isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      const auto low = static_cast<std::uint32_t>(text[++i]);
      appendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
    }
  }
}

}  // namespace qel
