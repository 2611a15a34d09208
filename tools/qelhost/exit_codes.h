// qelhost's exit codes, the same for every command, so that a site can
// script a test sale.
#pragma once

namespace qel::qelhost {

// Every export called returned 0 (check: every step passed).
constexpr int kExitRan = 0;
// The sale or refund was not completed: refused, failed or cancelled, and
// not in doubt (check: a step failed; trace: no trace in the folder).
constexpr int kExitFailed = 1;
// A wrong command line, or an order file or working folder that cannot be
// used.
constexpr int kExitUsage = 2;
// The library cannot be loaded.
constexpr int kExitNoLibrary = 3;
// The sale or refund failed after the whole order may have reached the cash
// register: it may be booked, and its receipt must be checked there before
// it is sold again.
constexpr int kExitInDoubt = 4;

}  // namespace qel::qelhost
