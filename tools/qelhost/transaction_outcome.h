// What happened to the money in one sale or refund that qelhost ran, as its
// exit code and its JSON report tell it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "boxoffice/shown_dialog.h"
#include "host/journal_state.h"

namespace qel::qelhost {

// The outcome (one of trace::outcome's names) of a sale or refund whose
// export returned `code` after showing `dialogs`; null when what the host
// sees cannot tell it (a failure in an error box without the paragraph is
// refused or failed before the whole order went out, and nothing was
// booked either way). The library hands its host nothing but the return
// code, the records and the boxes, so the boxes decide: a question is a box
// with Cancel, the error box has OK alone and names the receipt when the
// transaction is in doubt.
const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<boxoffice::ShownDialog>& dialogs);

// What the working folder's journal says of a run's receipt once the export
// returned.
struct JournalView {
  // The outcome of the run's own transaction (one of trace::outcome's
  // names), null when the journal holds none.
  const char* outcome = nullptr;
  // The receipt is open, and how, when the run wrote nothing of it (it was
  // cancelled or failed before sending).
  std::optional<OpenState> open;
};

// The view of `journal` for the last transaction of `refund`/`receipt`
// begun by the process `processId`, at `nowMs`.
JournalView journalView(std::string_view journal, bool refund, std::int32_t receipt, std::uint32_t processId,
                        std::int64_t nowMs);

// The outcome of a run: the journal's when it names one, else the boxes';
// Cancel at the question about a receipt that stays open is `cancelled`.
const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<boxoffice::ShownDialog>& dialogs,
                               const JournalView& journal);

// The exit code for `outcome` (null: unknown) of an export that returned
// `code`; a receipt that the run left open as it was keeps its own (in
// doubt: 4, not printed: 5).
int exitCodeOf(const char* outcome, std::int32_t code, const JournalView& journal = {});

}  // namespace qel::qelhost
