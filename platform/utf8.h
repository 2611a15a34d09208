// A strict UTF-8 coder behaving like the Windows conversions: malformed input
// becomes U+FFFD instead of failing. The POSIX side converts with it; the
// layers above reach appendUtf8 through base/utf8.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qel::platform::detail {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at `i`; advances `i`. Overlong forms,
// surrogates and values above U+10FFFF are malformed: one byte is consumed
// and U+FFFD returned.
inline char32_t nextCodePoint(std::string_view s, std::size_t& i, bool& valid) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  valid = true;
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  }
  if (len == 0 || i + len > s.size()) {
    valid = false;
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < len; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      valid = false;
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    valid = false;
    ++i;
    return kReplacement;
  }
  i += len;
  return cp;
}

// The length of the ASCII run at the start of `s`; most text is ASCII, and
// a run is copied without decoding.
inline std::size_t asciiPrefix(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

template <typename WideString>
WideString decodeUtf8(std::string_view s) {
  const std::size_t ascii = asciiPrefix(s);
  WideString out(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(ascii));
  if (ascii == s.size()) return out;
  out.reserve(s.size());
  bool valid = true;
  for (std::size_t i = ascii; i < s.size();) {
    const char32_t cp = nextCodePoint(s, i, valid);
    if constexpr (sizeof(typename WideString::value_type) == 2) {
      if (cp >= 0x10000) {
        out.push_back(static_cast<typename WideString::value_type>(0xD800 + ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<typename WideString::value_type>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        continue;
      }
    }
    out.push_back(static_cast<typename WideString::value_type>(cp));
  }
  return out;
}

inline bool isValidUtf8(std::string_view s) {
  bool valid = true;
  for (std::size_t i = asciiPrefix(s); i < s.size() && valid;) nextCodePoint(s, i, valid);
  return valid;
}

// Appends one valid code point to any byte sink with push_back(char).
template <typename Out>
void appendUtf8(Out& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Encodes wide text (UTF-16 or UTF-32 by the width of its characters);
// unpaired surrogates and values beyond U+10FFFF become U+FFFD.
template <typename WideView>
std::string encodeUtf8(WideView text) {
  std::size_t ascii = 0;
  while (ascii < text.size() && static_cast<char32_t>(text[ascii]) < 0x80) ++ascii;
  std::string out(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(ascii));
  if (ascii == text.size()) return out;
  out.reserve(text.size() + text.size() / 2);
  for (std::size_t i = ascii; i < text.size(); ++i) {
    char32_t cp = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(text[0]) == 2) cp &= 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    appendUtf8(out, cp);
  }
  return out;
}

}  // namespace qel::platform::detail
