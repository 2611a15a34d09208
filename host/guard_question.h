// The question asked before a receipt that may already be booked at the
// cash register is sent again: the guard against booking it twice.
#pragma once

#include <cstdint>
#include <string>

#include "host/transaction_journal.h"
#include "host/transaction_kind.h"

namespace qel {

// The order whose receipt the journal holds open, as the host passed it now.
struct GuardedOrder {
  TransactionKind kind;
  std::int32_t receipt;
  double total;
  std::wstring currency;
};

// What the operator said about the earlier attempt.
enum class GuardAnswer { Booked, NotBooked, Cancelled, NotShown };

// The question's text: the receipt, its amount, when the earlier attempt
// began in local time, and what each answer does.
std::wstring guardQuestionText(const GuardedOrder& order, const EarlierAttempt& earlier);

// Asks about `earlier` before anything is sent: a warning box under
// "Transaktionsfenster" with Cancel as the default, Yes/No/Cancel while the
// booking is in doubt, OK/Cancel for a sale known to be booked whose tickets
// were not printed (OK: booked). A box that could not be shown counts as
// Cancel.
GuardAnswer askWhetherBooked(void* owner, const GuardedOrder& order, const EarlierAttempt& earlier);

}  // namespace qel
