// The 32-bit result codes that the host sees, by the values that the public
// header gives them.
#pragma once

#include <cstdint>

#include "host/qelconnect.h"

namespace qel {

constexpr std::int32_t kResultDone = QEL_OK;
constexpr std::int32_t kResultNotSupported = QEL_NOT_SUPPORTED;
constexpr std::int32_t kResultNotCompleted = QEL_NOT_COMPLETED;

}  // namespace qel
