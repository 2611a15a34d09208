// The outcome of a run read from the return code and the boxes.
#include "tools/qelhost/transaction_outcome.h"

#include <algorithm>
#include <cstring>

#include "host/operator_dialogs.h"
#include "host/qelconnect.h"
#include "host/trace_schema.h"

namespace qel::qelhost {
namespace {

bool isQuestion(const hostkit::ShownDialog& box) {
  return std::find(box.buttons.begin(), box.buttons.end(), hostkit::kIdCancel) != box.buttons.end();
}

bool is(const char* outcome, const char* name) { return outcome != nullptr && std::strcmp(outcome, name) == 0; }

}  // namespace

const char* transactionOutcome(bool refund, std::int32_t code, const std::vector<hostkit::ShownDialog>& dialogs) {
  if (code == QEL_OK) return trace::outcome::kAccepted;
  if (dialogs.empty()) return nullptr;
  const hostkit::ShownDialog& last = dialogs.back();
  if (!isQuestion(last)) return saysPossiblyBooked(last.text) ? trace::outcome::kInDoubt : nullptr;
  if (refund || last.answer != hostkit::kIdCancel) return nullptr;
  // A sale asks before it reads anything and, once the cash register has
  // booked it, whether to print.
  const auto questions = std::count_if(dialogs.begin(), dialogs.end(), isQuestion);
  if (questions == 1) return trace::outcome::kCancelled;
  if (questions == 2) return trace::outcome::kAcceptedNotPrinted;
  return nullptr;
}

int exitCodeOf(const char* outcome, std::int32_t code) {
  if (is(outcome, trace::outcome::kInDoubt)) return kExitInDoubt;
  if (is(outcome, trace::outcome::kAcceptedNotPrinted)) return kExitNotPrinted;
  return code == QEL_OK ? kExitRan : kExitFailed;
}

}  // namespace qel::qelhost
