// Whole numbers written as printf's "%i" and "%.2i" write them.
#include "base/int_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace qel {
namespace {

TEST(IntFormatTest, WritesAsPrintf) {
  const struct {
    std::int32_t value;
    const wchar_t* i;
    const wchar_t* i2;
  } cases[] = {
      {0, L"0", L"00"},
      {5, L"5", L"05"},
      {-5, L"-5", L"-05"},
      {-42, L"-42", L"-42"},
      {404, L"404", L"404"},
      {2147483647, L"2147483647", L"2147483647"},
      {std::numeric_limits<std::int32_t>::min(), L"-2147483648", L"-2147483648"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatInt(c.value), c.i);
    EXPECT_EQ(formatInt2(c.value), c.i2);
  }
}

}  // namespace
}  // namespace qel
