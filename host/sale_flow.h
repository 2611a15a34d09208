// One sale, from the operator's first question to the result code.
#pragma once

#include <cstdint>

namespace qel {

std::int32_t runSale(void* owner, const void* hostOrder, const void* hostPaymentType, void* paymentResult) noexcept;

}  // namespace qel
