// The host's payment-type and payment result records, as far as the host
// itself lays them out and allocates them.
#pragma once

#include <cstddef>

namespace qel::boxoffice {

// HostPaymentType: the library reads only dwZahlartID.
constexpr std::size_t kPaymentTypeZahlartIdOffset = 4;

// The payment result record that the host hands to hrECExecute to be filled.
constexpr std::size_t kResultRecordSize = 3338;

}  // namespace qel::boxoffice
