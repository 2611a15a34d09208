// appendAmount writes the amounts of an order with its own integer
// conversion; the general conversion of the standard library is the
// reference it must agree with on every double, ties and edges included.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "render/format.h"

namespace qel {
namespace {

std::string_view reference(double value) {
  static char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  return std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

double fromBits(std::uint64_t bits) {
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void expectAgrees(double value) {
  static TextBuffer out;
  out.truncate(0);
  appendAmount(out, value);
  ASSERT_EQ(out.view(), reference(value)) << "bits of the double: " << std::hex << [&] {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
  }();
}

TEST(AmountConversionTest, EdgesOfTheIntegerConversion) {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.005,
                                0.015,
                                0.125,
                                0.375,
                                0.625,
                                0.875,
                                -0.125,
                                1.005,
                                2.355,
                                2.675,
                                9.995,
                                99.995,
                                999999.995,
                                0.0049999999999999999,
                                1e15,
                                1e-300,
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  // Around the powers of two where the exponent changes its handling (the
  // shift of 63 bits, values that are integers, 2^56 where the standard
  // conversion takes over) and where a shift crosses the rounding bit.
  for (int e = -70; e <= 60; ++e) {
    const double p = std::ldexp(1.0, e);
    for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 2 * p), p * 1.5, p / 200.0}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  for (double v : values) expectAgrees(v);
}

// Every tie and near-tie of three decimals, as prices with tenths of cents
// come out of the host's arithmetic.
TEST(AmountConversionTest, ThousandthsUpToTenThousand) {
  for (int k = -200000; k <= 10000000; k += 7) expectAgrees(k / 1000.0);
}

TEST(AmountConversionTest, RandomDoubles) {
  std::mt19937_64 random(20240611);
  std::uniform_int_distribution<std::uint64_t> anyBits;
  std::uniform_real_distribution<double> prices(-1e7, 1e7);
  for (int i = 0; i < 200000; ++i) {
    expectAgrees(fromBits(anyBits(random)));
    expectAgrees(prices(random));
    // Products such as price times rate, where the last bits are noise.
    expectAgrees(prices(random) * 0.19);
  }
}

}  // namespace
}  // namespace qel
