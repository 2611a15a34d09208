// The 32-bit result codes that the host sees.
#pragma once

#include <cstdint>

namespace qel {

constexpr std::int32_t kResultDone = 0;
constexpr std::int32_t kResultNotSupported = 1;
constexpr std::int32_t kResultNotCompleted = 0x00040002;

}  // namespace qel
