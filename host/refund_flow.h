// One refund: no questions, no result record, no log.
#pragma once

#include <cstdint>

namespace qel {

std::int32_t runRefund(void* owner, const void* hostRefund) noexcept;

}  // namespace qel
