// The code tables that host and server texts are converted with: every high
// byte of Windows-1252 against the system's own table, and the edges of
// UTF-8 in each function that decodes it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/platform.h"

#if !defined(_WIN32)
#include <iconv.h>
#endif

namespace qel {
namespace {

// `codePoints` as the platform's wide strings hold them: UTF-16 where
// wchar_t has 16 bits, UTF-32 elsewhere.
std::wstring wide(const std::u32string& codePoints) {
  std::wstring out;
  for (const char32_t cp : codePoints) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

std::string hex(const std::string& bytes) {
  std::string out;
  char digits[4];
  for (const unsigned char b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    out += digits;
  }
  return out;
}

// The first and last code point of each length, either side of the
// surrogates, and the last of all.
TEST(Utf8Edges, EveryLengthDecodesUpToU10FFFF) {
  const struct {
    std::string bytes;
    char32_t cp;
  } cases[] = {
      {"\xC2\x80", 0x80},
      {"\xDF\xBF", 0x7FF},
      {"\xE0\xA0\x80", 0x800},
      {"\xED\x9F\xBF", 0xD7FF},
      {"\xEE\x80\x80", 0xE000},
      {"\xEF\xBF\xBF", 0xFFFF},
      {"\xF0\x90\x80\x80", 0x10000},
      {"\xF3\xBF\xBF\xBF", 0xFFFFF},
      {"\xF4\x80\x80\x80", 0x100000},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(hex(c.bytes));
    const std::string text = "a" + c.bytes + "b";
    EXPECT_TRUE(platform::isValidUtf8(text));
    EXPECT_EQ(platform::utf8ToWide(text), wide({U'a', c.cp, U'b'}));
    EXPECT_EQ(platform::wideToUtf8(wide({U'a', c.cp, U'b'})), text);
  }
}

// Beyond U+10FFFF, surrogates, overlong forms, cut and stray bytes: refused,
// and decoded to nothing but replacement characters.
TEST(Utf8Edges, MalformedSequencesAreRefused) {
  const std::string cases[] = {
      "\xF4\x90\x80\x80",
      "\xF4\xBF\xBF\xBF",
      "\xF5\x80\x80\x80",
      "\xF7\xBF\xBF\xBF",
      "\xF8\x88\x80\x80\x80",
      "\xFF",
      "\xED\xA0\x80",
      "\xED\xBF\xBF",
      "\xC0\xAF",
      "\xC1\xBF",
      "\xE0\x9F\xBF",
      "\xF0\x8F\xBF\xBF",
      "\xF4\x8F\xBF",
      "\xC2",
      "\x80",
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(hex(bytes));
    const std::string text = "a" + bytes + "b";
    EXPECT_FALSE(platform::isValidUtf8(text));
    const std::wstring decoded = platform::utf8ToWide(text);
    ASSERT_GE(decoded.size(), 3u);
    EXPECT_EQ(decoded.front(), L'a');
    EXPECT_EQ(decoded.back(), L'b');
    for (std::size_t i = 1; i + 1 < decoded.size(); ++i) EXPECT_EQ(decoded[i], L'\xFFFD') << i;
  }
}

#if !defined(_WIN32)
struct IconvClose {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

// The character glibc's own table gives for `byte`, or U+0000 where the code
// page defines none.
wchar_t systemCp1252(iconv_t cd, unsigned char byte) {
  char in = static_cast<char>(byte);
  wchar_t out = 0;
  char* inPointer = &in;
  char* outPointer = reinterpret_cast<char*>(&out);
  std::size_t inLeft = 1;
  std::size_t outLeft = sizeof out;
  if (iconv(cd, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<std::size_t>(-1)) return 0;
  return out;
}

// Where the code page defines no character (five bytes), Windows gives the
// C1 control of the same value; so does the development library.
TEST(Cp1252, EveryHighByteAsTheSystemTableHasIt) {
  const iconv_t opened = iconv_open("WCHAR_T", "CP1252");
  ASSERT_NE(opened, reinterpret_cast<iconv_t>(-1)) << "glibc's CP1252 converter is not installed";
  const std::unique_ptr<void, IconvClose> cd(opened);
  int undefined = 0;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    wchar_t expected = systemCp1252(static_cast<iconv_t>(cd.get()), static_cast<unsigned char>(byte));
    if (expected == 0) {
      ++undefined;
      expected = static_cast<wchar_t>(byte);
    }
    EXPECT_EQ(platform::ansiToWide(std::string(1, static_cast<char>(byte))), std::wstring(1, expected))
        << "byte 0x" << std::hex << byte;
  }
  EXPECT_EQ(undefined, 5);
}
#endif

}  // namespace
}  // namespace qel
