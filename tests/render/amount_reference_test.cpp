// Proves the expected amount texts against glibc's own printf.
#include <gtest/gtest.h>

#include <cstdio>

#include "amount_cases.h"

namespace qel {
namespace {

TEST(AmountReferenceTest, ExpectedTextsAreWhatGlibcPrints) {
  for (const test::AmountCase& c : test::kAmountCases) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.2f", c.value);
    EXPECT_STREQ(buffer, c.text);
  }
}

}  // namespace
}  // namespace qel
