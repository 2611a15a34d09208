// The outcome of a run read from the return code and the boxes.
#include "tools/qelhost/transaction_outcome.h"

#include <algorithm>
#include <cstring>

#include "host/operator_dialogs.h"
#include "host/qelconnect.h"
#include "host/trace_schema.h"
#include "host/transaction_trace.h"

namespace qel::qelhost {
namespace {

bool isQuestion(const boxoffice::ShownDialog& box) {
  return std::find(box.buttons.begin(), box.buttons.end(), boxoffice::kIdCancel) != box.buttons.end();
}

bool is(const char* outcome, const char* name) { return outcome != nullptr && std::strcmp(outcome, name) == 0; }

// The outcomes that end a transaction, by which the journal names them.
constexpr const char* kFinalOutcomes[] = {trace::outcome::kAccepted,
                                          trace::outcome::kAcceptedNotPrinted,
                                          trace::outcome::kRefused,
                                          trace::outcome::kFailed,
                                          trace::outcome::kInDoubt,
                                          trace::outcome::kOperatorConfirmed,
                                          trace::outcome::kOperatorConfirmedNotPrinted};

const char* finalOutcome(std::string_view name) {
  for (const char* known : kFinalOutcomes) {
    if (name == known) return known;
  }
  return nullptr;
}

}  // namespace

const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<boxoffice::ShownDialog>& dialogs) {
  if (code == QEL_OK) return trace::outcome::kAccepted;
  if (dialogs.empty()) return nullptr;
  const boxoffice::ShownDialog& last = dialogs.back();
  if (!isQuestion(last)) return saysPossiblyBooked(last.text) ? trace::outcome::kInDoubt : nullptr;
  if (refund || last.answer != boxoffice::kIdCancel) return nullptr;
  // A sale asks before it reads anything and, once the cash register has
  // booked it, whether to print.
  const auto questions = std::count_if(dialogs.begin(), dialogs.end(), isQuestion);
  if (questions == 1) return trace::outcome::kCancelled;
  if (questions == 2) return trace::outcome::kAcceptedNotPrinted;
  return nullptr;
}

JournalView journalView(std::string_view journal, bool refund, std::int32_t receipt, std::uint32_t processId,
                        std::int64_t nowMs) {
  const TransactionKind kind = refund ? TransactionKind::Refund : TransactionKind::Sale;
  JournalView view;
  std::string_view last;
  for (std::string_view rest = journal; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    const std::string_view text = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const std::optional<JournalLine> line = readJournalLine(text);
    if (line && line->kind == kind && line->receipt == receipt && isTransactionOfProcess(line->id, processId)) {
      view.outcome = finalOutcome(line->outcome);
    }
  }
  if (view.outcome == nullptr) {
    if (const std::optional<OpenTransaction> open = openTransaction(journal, nowMs, kind, receipt)) {
      view.open = open->state;
    }
  }
  return view;
}

const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<boxoffice::ShownDialog>& dialogs,
                               const JournalView& journal) {
  if (journal.outcome != nullptr) return journal.outcome;
  const bool cancelled = !dialogs.empty() && isQuestion(dialogs.back()) && dialogs.back().answer != boxoffice::kIdOk;
  if (journal.open && code != QEL_OK && cancelled) return trace::outcome::kCancelled;
  return transactionOutcome(refund, code, dialogs);
}

int exitCodeOf(const char* outcome, std::int32_t code, const JournalView& journal) {
  if (is(outcome, trace::outcome::kInDoubt)) return kExitInDoubt;
  if (is(outcome, trace::outcome::kAcceptedNotPrinted)) return kExitNotPrinted;
  if (is(outcome, trace::outcome::kOperatorConfirmedNotPrinted)) return kExitNotPrinted;
  if (code != QEL_OK && journal.outcome == nullptr && journal.open) {
    return *journal.open == OpenState::NotPrinted ? kExitNotPrinted : kExitInDoubt;
  }
  return code == QEL_OK ? kExitRan : kExitFailed;
}

}  // namespace qel::qelhost
