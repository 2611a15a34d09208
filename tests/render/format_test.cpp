// Value formatting, XML escaping and line-break removal.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "amount_cases.h"
#include "base/int_format.h"
#include "platform/platform.h"
#include "render/format.h"

namespace qel {
namespace {

std::wstring widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

TEST(FormatTest, Bool) {
  EXPECT_EQ(formatBool(0), L"false");
  EXPECT_EQ(formatBool(1), L"true");
  EXPECT_EQ(formatBool(255), L"true");
}

TEST(FormatTest, AmountIsPrintfFixedTwoDecimals) {
  for (const test::AmountCase& c : test::kAmountCases) {
    EXPECT_EQ(formatAmount(c.value), widen(c.text)) << c.text;
  }
}

TEST(FormatTest, RoundDecimalsRoundsHalfUpAsComputed) {
  const struct {
    double value;
    int decimals;
    double rounded;
  } cases[] = {
      {0.125, 2, 0.13},  {-0.125, 2, -0.12}, {1.005, 2, 1.0},  {2.355, 2, 2.36}, {2.675, 2, 2.68},
      {0.285, 2, 0.28},  {5.95, 2, 5.95},    {-0.004, 2, 0.0}, {2.5, 0, 3.0},    {-2.5, 0, -2.0},
      {0.25, 1, 0.3},    {1.2345, 3, 1.235}, {118.0, 2, 118.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(roundDecimals(c.value, c.decimals), c.rounded) << c.value << " to " << c.decimals;
  }
  // Formatting after rounding is what a fee's numbers go through.
  EXPECT_EQ(formatAmount(roundDecimals(2.355, 2)), L"2.36");
  EXPECT_EQ(formatAmount(2.355), L"2.35");
}

TEST(FormatTest, EscapeXmlReplacesTheFiveSpecialCharacters) {
  const struct {
    const wchar_t* text;
    const wchar_t* escaped;
  } cases[] = {
      {L"", L""},
      {L"EUR", L"EUR"},
      {L"Gro\u00DFe \u00D6ffnung", L"Gro\u00DFe \u00D6ffnung"},
      {L"A & 'B' <c> \u00F6", L"A &amp; &apos;B&apos; &lt;c&gt; \u00F6"},
      {L"\"Quote\"", L"&quot;Quote&quot;"},
      {L"&lt;", L"&amp;lt;"},
      {L"&amp;", L"&amp;amp;"},
      {L"{summe}", L"{summe}"},
      {L"12</Dwsubpoolid>", L"12&lt;/Dwsubpoolid&gt;"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapeXml(c.text), c.escaped);
}

// Characters that XML 1.0 cannot carry would make the whole request
// unreadable for the receiver; they are dropped.
TEST(FormatTest, EscapeXmlDropsCharactersXmlCannotCarry) {
  const auto w = [](std::initializer_list<std::uint32_t> units) {
    std::wstring s;
    for (std::uint32_t u : units) s += static_cast<wchar_t>(u);
    return s;
  };
  const struct {
    std::wstring text;
    std::wstring escaped;
  } cases[] = {
      {w({'a', 0x00, 'b'}), L"ab"},
      {w({0x01, 'a', 0x08, 0x0B, 0x0C, 0x1F, 0x7F}), w({'a', 0x7F})},
      {L"a\tb\nc\rd", L"a\tb\nc\rd"},
      {w({'x', 0xFFFE, 0xFFFF, 0xFFFD, 0xE000, 0xD7FF}), w({'x', 0xFFFD, 0xE000, 0xD7FF})},
      // Unpaired surrogates: a high one at the end, a low one alone, a high
      // one before something that is not a low surrogate, two highs.
      {w({'a', 0xD800}), L"a"},
      {w({0xDC00, 'b'}), L"b"},
      {w({0xD83D, '<'}), L"&lt;"},
      {w({0xD800, 0xDBFF, 'c'}), L"c"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapeXml(c.text), c.escaped);

  // A character beyond U+FFFF, however wide strings hold it, stays whole.
  const std::wstring grin = platform::utf8ToWide("\xF0\x9F\x98\x80");
  EXPECT_EQ(escapeXml(L"<" + grin + L">"), L"&lt;" + grin + L"&gt;");
  EXPECT_EQ(platform::wideToUtf8(escapeXml(grin)), "\xF0\x9F\x98\x80");
}

// Only 32-bit wide strings can hold a value beyond U+10FFFF; there it is
// dropped like any other character that is not one.
TEST(FormatTest, EscapeXmlDropsValuesBeyondUnicode) {
  if (sizeof(wchar_t) < 4) GTEST_SKIP() << "16-bit wide strings cannot hold such values";
  std::wstring text = L"a";
  text += static_cast<wchar_t>(0x110000);
  text += static_cast<wchar_t>(0x7FFFFFFF);
  text += L"b";
  EXPECT_EQ(escapeXml(text), L"ab");
}

TEST(FormatTest, RemoveLineBreaksDropsLineFeedsTabsAndCarriageReturns) {
  std::wstring text = L"<a>\r\n\t<b> x</b>\r\n xmlns:y=\"z\"\r\n\t\t</a>\r";
  removeLineBreaks(text);
  EXPECT_EQ(text, L"<a><b> x</b> xmlns:y=\"z\"</a>");

  std::wstring plain = L"no breaks at all";
  removeLineBreaks(plain);
  EXPECT_EQ(plain, L"no breaks at all");
}

// Sets a locale with a decimal comma for the duration of a test, if the
// system has one, and restores the "C" locale afterwards.
class CommaLocale {
 public:
  CommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "German", ""}) {
      if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',') {
        active_ = true;
        return;
      }
    }
    std::setlocale(LC_ALL, "C");
  }
  ~CommaLocale() { std::setlocale(LC_ALL, "C"); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

TEST(FormatTest, NumbersIgnoreTheLocale) {
  const CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(formatAmount(1234567.5), L"1234567.50");
  EXPECT_EQ(formatAmount(-0.125), L"-0.12");
  EXPECT_EQ(formatInt(-1234567), L"-1234567");
  EXPECT_EQ(formatInt2(1234), L"1234");
}

}  // namespace
}  // namespace qel
