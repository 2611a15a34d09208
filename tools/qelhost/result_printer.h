// Prints the host's payment result record field by field, as the host sees it
// after the call.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "boxoffice/payment_records.h"

namespace qel::qelhost {

constexpr std::size_t kPaymentResultSize = boxoffice::kResultRecordSize;

// Prints every field of `record` and reports the bytes outside the fields
// that differ from `prefill`, the byte the record was filled with before.
void printPaymentResult(const std::uint8_t* record, std::uint8_t prefill, std::ostream& out);

}  // namespace qel::qelhost
