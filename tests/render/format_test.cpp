// Value formatting as the request's values are appended; escaping is
// checked through the envelope (order_document_test.cpp).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "amount_cases.h"
#include "base/int_format.h"
#include "render/format.h"

namespace qel {
namespace {

template <typename Value>
std::string appended(void (*append)(TextBuffer&, Value), Value value) {
  TextBuffer out;
  out.append("x");
  append(out, value);
  return std::string(out.view().substr(1));
}

std::string amount(double value) { return appended(&appendAmount, value); }

TEST(FormatTest, Bool) {
  EXPECT_EQ(appended<std::uint8_t>(&appendBool, 0), "false");
  EXPECT_EQ(appended<std::uint8_t>(&appendBool, 1), "true");
  EXPECT_EQ(appended<std::uint8_t>(&appendBool, 255), "true");
}

// The request's integers are the text formatInt gives ("%i").
TEST(FormatTest, IntIsWrittenAsFormatIntWritesIt) {
  for (const std::int32_t value : {0, 5, -5, 404, 2147483647, std::numeric_limits<std::int32_t>::min()}) {
    const std::wstring text = formatInt(value);
    EXPECT_EQ(appended(&appendInt, value), std::string(text.begin(), text.end()));
  }
}

TEST(FormatTest, AmountIsPrintfFixedTwoDecimals) {
  for (const test::AmountCase& c : test::kAmountCases) {
    EXPECT_EQ(amount(c.value), c.text);
  }
}

TEST(FormatTest, RoundDecimalsRoundsHalfUpAsComputed) {
  const struct {
    double value;
    int decimals;
    double rounded;
  } cases[] = {
      {0.125, 2, 0.13}, {-0.125, 2, -0.12}, {1.005, 2, 1.0},   {2.355, 2, 2.36}, {2.675, 2, 2.68},
      {0.285, 2, 0.28}, {5.95, 2, 5.95},    {-0.004, 2, 0.0},  {2.5, 0, 3.0},    {-2.5, 0, -2.0},
      {0.25, 1, 0.3},   {1.2345, 3, 1.235}, {118.0, 2, 118.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(roundDecimals(c.value, c.decimals), c.rounded) << c.value << " to " << c.decimals;
  }
  // Formatting after rounding is what a fee's numbers go through.
  EXPECT_EQ(amount(roundDecimals(2.355, 2)), "2.36");
  EXPECT_EQ(amount(2.355), "2.35");
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
  EXPECT_EQ(amount(1234567.5), "1234567.50");
  EXPECT_EQ(amount(-0.125), "-0.12");
  EXPECT_EQ(formatInt(-1234567), L"-1234567");
  EXPECT_EQ(formatInt2(1234), L"1234");
}

}  // namespace
}  // namespace qel
