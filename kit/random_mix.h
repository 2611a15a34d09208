// One well-mixed 64-bit value for each input (splitmix64), the same on
// every platform and standard library: the seeded choices of the test
// tools follow from it, so that a run can be repeated exactly.
#pragma once

#include <cstdint>

namespace qel::kit {

constexpr std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// The value of choice `index` of the stream `stream` under `seed`: streams
// of one seed are independent of each other.
constexpr std::uint64_t seeded(std::uint64_t seed, std::uint64_t stream, std::uint64_t index) {
  return mix(seed ^ mix(stream ^ mix(index)));
}

}  // namespace qel::kit
