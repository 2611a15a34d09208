// Reconciling, receipt by receipt, what the box office was shown with what
// the cash register booked: the three promises a payment plug-in makes, and
// the table that counts them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qel::reconcile {

// Whether a box told the operator that the transaction may be booked, and
// under which receipt.
enum class Paragraph { None, OwnReceipt, OtherReceipt };

// What one transaction's host saw, as `qelhost --json` reported it. A
// killed host reported nothing; what it had got to is read from its trace.
struct HostView {
  bool killed = false;
  int exitCode = 0;       // qelhost's, unless killed
  bool reported = false;  // qelhost printed its JSON report
  std::string outcome;    // the report's outcome, e.g. "accepted"; empty for none
  Paragraph paragraph = Paragraph::None;
  bool killPlanned = false;  // to be killed once its request is through
  std::string lockedFile;    // held by another process as the host ran
  int lockMs = 0;            // for this long from the host's start
  int milliseconds = 0;      // from the host's start to its end
};

// The trace's word on one transaction.
struct TraceView {
  std::string outcome;         // of the outcome line; empty without one
  bool sendingAlone = false;   // a `sending` line without its outcome line
  bool listedInDoubt = false;  // `qelhost trace --in-doubt` lists it
};

struct Transaction {
  std::int64_t receipt = 0;
  bool refund = false;
  HostView host;
  TraceView trace;
  int booked = 0;     // ledger lines of its receipt
  std::string fault;  // what the proxy did to its connection, if it saw the receipt
  // The retry round: sold again through a healthy connection by an
  // operator who has checked the receipt at the cash register, answering
  // the question of a possible booking by what the ledger holds.
  bool retried = false;
  std::string retryAnswers;  // qelhost's --answers for it
  HostView retry;
  int bookedAfterRetry = 0;  // ledger lines of its receipt after the round
};

// How the box office (or, for a killed host, its trace) shows it.
// Paid also stands for a sale booked whose tickets were not printed: it
// must be booked once, and exactly once, as well.
enum class Shown { Paid, NotPaid, InDoubt, HostBroken };

Shown shownAs(const Transaction& t);
// Named in doubt everywhere it can be: a living host's box, exit code,
// trace line and `qelhost trace`; a killed host's trace and `qelhost trace`.
bool namedInDoubt(const Transaction& t);

enum class Violation {
  PaidNotBookedOnce,  // shown as paid, not booked exactly once
  NotPaidButBooked,   // shown as not paid and not in doubt, yet booked
  BookedNotNamed,     // booked, not shown as paid, not named in doubt
  BookedTwice,        // more than one booking of a receipt
  BookedUnsold,       // a booking of a receipt nobody sold
  HostBroken,         // the host could not run the transaction at all
  WrongReceipt,       // the paragraph names a receipt other than its own
  NotSettled,         // after the retry round: not shown as paid, or not booked exactly once
};

const char* describe(Violation violation);

// The violations of `t`, in the order above.
std::vector<Violation> violationsOf(const Transaction& t);

// Whether the transaction needs the retry round: every transaction not
// shown as paid is sold again.
bool needsRetry(const Transaction& t);

// The answers of the operator in the retry round, in the order the boxes
// come: a transaction named in doubt meets the question whether its receipt
// is booked, answered yes when the ledger holds it, no when it does not;
// any other transaction is sold as the first time.
std::string retryAnswers(const Transaction& t, bool inLedger);

struct Totals {
  bool retryRound = false;
  std::map<std::string, int> faults;  // injected, by kind
  std::vector<Transaction> transactions;
  std::set<std::int64_t> unsoldBookings;  // receipts booked but never sold
};

// Prints the faults, the outcomes and the violations, each violation with
// its receipt; gives the number of violations.
int printReconciliation(const Totals& totals, std::ostream& out);

}  // namespace qel::reconcile
