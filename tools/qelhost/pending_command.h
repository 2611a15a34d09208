// qelhost pending: the transactions that the working folder's journal holds
// open (in doubt, interrupted, booked but not printed), for the end-of-day
// comparison with the cash register.
#pragma once

#include <cstdint>
#include <ostream>

namespace qel::qelhost {

// Prints the open transactions of QelConnect.journal in the current folder,
// oldest first: receipt, kind, amount, local time of the attempt, state; as
// one JSON object a line with `json`. Notes go to `err`. False when there is
// no journal to read.
bool printPending(bool json, std::ostream& out, std::ostream& err);

}  // namespace qel::qelhost
