// The mixer is splitmix64's output function: its first outputs from the
// state 0, as the reference implementation gives them, pin every constant
// and shift, so that a run's seed keeps meaning the same choices.
#include "kit/random_mix.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qel::kit {
namespace {

TEST(RandomMix, IsSplitMix64) {
  constexpr std::uint64_t kGamma = 0x9E3779B97F4A7C15ull;
  const struct {
    std::uint64_t state;
    std::uint64_t output;
  } rows[] = {
      {0, 0xE220A8397B1DCDAFull},
      {kGamma, 0x6E789E6AA1B965F4ull},
      {2 * kGamma, 0x06C45D188009454Full},
      {3 * kGamma, 0xF88BB8A8724C81ECull},
  };
  for (const auto& row : rows) EXPECT_EQ(mix(row.state), row.output) << row.state;
}

}  // namespace
}  // namespace qel::kit
