// What happened to the money in one sale or refund that qelhost ran, as its
// exit code and its JSON report tell it.
#pragma once

#include <cstdint>
#include <vector>

#include "hostkit/shown_dialog.h"

namespace qel::qelhost {

// The outcome (one of trace::outcome's names) of a sale or refund whose
// export returned `code` after showing `dialogs`; null when what the host
// sees cannot tell it (a failure in an error box without the paragraph is
// refused or failed before the whole order went out, and nothing was
// booked either way). The library hands its host nothing but the return
// code, the records and the boxes, so the boxes decide: a question is a box
// with Cancel, the error box has OK alone and names the receipt when the
// transaction is in doubt.
const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<hostkit::ShownDialog>& dialogs);

// The exit code for `outcome` (null: unknown) of an export that returned
// `code`.
int exitCodeOf(const char* outcome, std::int32_t code);

}  // namespace qel::qelhost
