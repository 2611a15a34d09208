// Tests of the atoi / "%d" style number reader.
#include "base/leading_int.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace qel {
namespace {

struct LeadingIntCase {
  std::string text;
  std::optional<std::int32_t> expected;
  friend void PrintTo(const LeadingIntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class LeadingIntTest : public ::testing::TestWithParam<LeadingIntCase> {};

TEST_P(LeadingIntTest, ReadsLikeTheCLibrary) {
  EXPECT_EQ(parseLeadingInt(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingIntTest,
                         ::testing::Values(LeadingIntCase{"0", 0}, LeadingIntCase{" 0", 0}, LeadingIntCase{"0 ", 0},
                                           LeadingIntCase{"+0", 0}, LeadingIntCase{"-0", 0}, LeadingIntCase{"4", 4},
                                           LeadingIntCase{"-1", -1}, LeadingIntCase{"12abc", 12},
                                           LeadingIntCase{"\t\r\n\v\f 7", 7}, LeadingIntCase{"007", 7},
                                           // Hexadecimal is not a decimal number: the 0 is read, the rest ignored.
                                           LeadingIntCase{"0x1A", 0}, LeadingIntCase{"2147483647", 2147483647},
                                           LeadingIntCase{"-2147483648", -2147483647 - 1},
                                           LeadingIntCase{"99999999999999999999", 2147483647},
                                           LeadingIntCase{"-99999999999999999999", -2147483647 - 1},
                                           LeadingIntCase{"", std::nullopt}, LeadingIntCase{"abc", std::nullopt},
                                           LeadingIntCase{"-", std::nullopt}, LeadingIntCase{"+ 1", std::nullopt},
                                           LeadingIntCase{"   ", std::nullopt}, LeadingIntCase{"--1", std::nullopt}));

}  // namespace
}  // namespace qel
