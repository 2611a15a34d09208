// The three promises checked per receipt, and the table of the run.
#include "harness/reconcile/reconciliation.h"

#include <algorithm>
#include <array>
#include <iomanip>

#include "host/trace_schema.h"

namespace qel::reconcile {
namespace {

namespace outcome = trace::outcome;

constexpr std::array<Violation, 8> kViolations = {
    Violation::PaidNotBookedOnce, Violation::NotPaidButBooked, Violation::BookedNotNamed, Violation::BookedTwice,
    Violation::BookedUnsold,      Violation::HostBroken,       Violation::WrongReceipt,   Violation::NotSettled};

bool traceInDoubt(const TraceView& trace) { return trace.sendingAlone || trace.outcome == outcome::kInDoubt; }

// Whether an outcome says that the cash register booked the transaction:
// every outcome but those that leave nothing booked or leave it open, so
// that "accepted" and its kin (not printed, confirmed by the operator) all
// count.
bool booked(const std::string& name) {
  return !name.empty() && name != outcome::kRefused && name != outcome::kFailed && name != outcome::kInDoubt &&
         name != outcome::kCancelled && name != outcome::kSending;
}

// Another process held the trace's lock: its lines may be lost, as
// documented, and the box alone names the transaction.
bool traceLocked(const HostView& host) { return host.lockedFile == trace::kFileName; }

// The row of the outcome table a transaction falls in.
std::string outcomeRow(const Transaction& t) {
  std::string row = t.refund ? "refund " : "sale ";
  if (t.host.killed) {
    if (t.trace.sendingAlone) return row + "killed, sending line alone";
    if (t.trace.outcome.empty()) return row + "killed before sending";
    return row + "killed after its outcome (" + t.trace.outcome + ")";
  }
  switch (shownAs(t)) {
    case Shown::Paid:
      return row + "shown as paid";
    case Shown::NotPaid:
      return row + "shown as not paid";
    case Shown::InDoubt:
      return row + "shown in doubt";
    default:
      return row + "host did not run";
  }
}

// One row of the table of faults against what was shown: transactions,
// how each was shown, and how many of them the cash register booked.
struct Tally {
  int count = 0;
  std::array<int, 4> shown{};  // by Shown
  int booked = 0;
  void add(const Transaction& t) {
    ++count;
    ++shown[static_cast<std::size_t>(shownAs(t))];
    booked += t.booked > 0 ? 1 : 0;
  }
};

// Each transaction under its proxy's fault, and again under a host killed
// in the transfer or a lock held by another process.
void printFaultTable(const std::vector<Transaction>& transactions, std::ostream& out) {
  std::map<std::string, Tally> rows;
  for (const Transaction& t : transactions) {
    rows[t.fault.empty() ? "(no request seen)" : t.fault].add(t);
    if (t.host.killed) rows["+ host killed in the transfer"].add(t);
    if (!t.host.lockedFile.empty()) rows["+ " + t.host.lockedFile + " locked by another"].add(t);
  }
  out << "faults and what the box office was shown" << std::string(4, ' ')
      << " count    paid  not paid  in doubt  broken  booked\n";
  for (const auto& [fault, row] : rows) {
    out << "  " << std::left << std::setw(42) << fault << std::right << std::setw(6) << row.count << std::setw(8)
        << row.shown[0] << std::setw(10) << row.shown[1] << std::setw(10) << row.shown[2] << std::setw(8)
        << row.shown[3] << std::setw(8) << row.booked << "\n";
  }
}

// What the run knows of `t`, for the line of a violation.
std::string evidenceOf(const Transaction& t) {
  std::string text = t.refund ? "refund" : "sale";
  text += ", fault " + (t.fault.empty() ? std::string("unseen") : t.fault);
  text += t.host.killed ? ", killed" : ", exit " + std::to_string(t.host.exitCode);
  if (!t.host.killed) text += ", outcome " + (t.host.outcome.empty() ? std::string("none") : t.host.outcome);
  if (t.host.paragraph == Paragraph::OwnReceipt) text += ", paragraph names its receipt";
  if (t.host.paragraph == Paragraph::OtherReceipt) text += ", paragraph names another receipt";
  if (!t.host.lockedFile.empty()) text += ", " + t.host.lockedFile + " locked";
  text += ", trace " + (t.trace.sendingAlone      ? std::string("sending alone")
                        : t.trace.outcome.empty() ? std::string("none")
                                                  : t.trace.outcome);
  text += ", booked " + std::to_string(t.booked);
  if (!t.retried) return text;
  return text + "; retried with " + t.retryAnswers + ": exit " + std::to_string(t.retry.exitCode) + ", outcome " +
         (t.retry.outcome.empty() ? std::string("none") : t.retry.outcome) + ", booked " +
         std::to_string(t.bookedAfterRetry);
}

// The retry round by what the operator met and answered: transactions,
// how many were then shown as paid, and how many were booked exactly once.
void printRetryTable(const std::vector<Transaction>& transactions, std::ostream& out) {
  struct Row {
    int count = 0, paid = 0, bookedOnce = 0;
  };
  std::map<std::string, Row> rows;
  for (const Transaction& t : transactions) {
    if (!t.retried) continue;
    Row& row = rows[std::string(t.refund ? "refund " : "sale ") + t.retryAnswers];
    Transaction again = t;
    again.host = t.retry;
    ++row.count;
    row.paid += shownAs(again) == Shown::Paid ? 1 : 0;
    row.bookedOnce += t.bookedAfterRetry == 1 ? 1 : 0;
  }
  out << "retry round, by the operator's answers" << std::string(6, ' ') << " count    paid  booked once\n";
  for (const auto& [answers, row] : rows) {
    out << "  " << std::left << std::setw(42) << answers << std::right << std::setw(6) << row.count << std::setw(8)
        << row.paid << std::setw(13) << row.bookedOnce << "\n";
  }
}

}  // namespace

Shown shownAs(const Transaction& t) {
  if (t.host.killed) {
    if (booked(t.trace.outcome)) return Shown::Paid;
    return traceInDoubt(t.trace) ? Shown::InDoubt : Shown::NotPaid;
  }
  if (!t.host.reported) return Shown::HostBroken;
  // Each exit code has the outcome that goes with it; a report in which
  // they disagree is a broken host.
  const std::string& said = t.host.outcome;
  switch (t.host.exitCode) {
    case qelhost::kExitRan:
    case qelhost::kExitNotPrinted:
      return booked(said) ? Shown::Paid : Shown::HostBroken;
    case qelhost::kExitFailed:
      return booked(said) || said == outcome::kInDoubt ? Shown::HostBroken : Shown::NotPaid;
    case qelhost::kExitInDoubt:
      return said == outcome::kInDoubt ? Shown::InDoubt : Shown::HostBroken;
    default:
      return Shown::HostBroken;
  }
}

bool needsRetry(const Transaction& t) { return shownAs(t) != Shown::Paid; }

std::string retryAnswers(const Transaction& t, bool inLedger) {
  if (shownAs(t) != Shown::InDoubt) return "ok,ok";
  // A sale asks whether to transfer before the question of the booking; a
  // refund asks it first.
  const std::string answer = inLedger ? "yes" : "no";
  return t.refund ? answer + ",ok" : "ok," + answer + ",ok";
}

bool namedInDoubt(const Transaction& t) {
  const bool traced = t.trace.listedInDoubt && traceInDoubt(t.trace);
  if (t.host.killed) return traced;
  return t.host.exitCode == qelhost::kExitInDoubt && t.host.paragraph == Paragraph::OwnReceipt &&
         (traced || traceLocked(t.host));
}

const char* describe(Violation violation) {
  switch (violation) {
    case Violation::PaidNotBookedOnce:
      return "shown as paid, not booked exactly once";
    case Violation::NotPaidButBooked:
      return "shown as not paid and not in doubt, but booked";
    case Violation::BookedNotNamed:
      return "booked, not shown as paid, not named in doubt";
    case Violation::BookedTwice:
      return "booked more than once";
    case Violation::BookedUnsold:
      return "booked, but sold by nobody";
    case Violation::HostBroken:
      return "host could not run the transaction";
    case Violation::WrongReceipt:
      return "in-doubt paragraph names another receipt";
    case Violation::NotSettled:
      return "after the retry, not paid and booked once";
  }
  return "";
}

std::vector<Violation> violationsOf(const Transaction& t) {
  std::vector<Violation> found;
  const Shown shown = shownAs(t);
  if (shown == Shown::Paid && t.booked != 1) found.push_back(Violation::PaidNotBookedOnce);
  if (shown == Shown::NotPaid && t.booked != 0) found.push_back(Violation::NotPaidButBooked);
  if (shown == Shown::InDoubt && t.booked > 0 && !namedInDoubt(t)) found.push_back(Violation::BookedNotNamed);
  if (t.booked > 1) found.push_back(Violation::BookedTwice);
  if (shown == Shown::HostBroken) found.push_back(Violation::HostBroken);
  if (t.host.paragraph == Paragraph::OtherReceipt) found.push_back(Violation::WrongReceipt);
  if (t.retried) {
    Transaction again = t;
    again.host = t.retry;
    if (shownAs(again) != Shown::Paid || t.bookedAfterRetry != 1) found.push_back(Violation::NotSettled);
  }
  return found;
}

int printReconciliation(const Totals& totals, std::ostream& out) {
  out << "faults injected (per connection)\n";
  for (const auto& [kind, count] : totals.faults)
    out << "  " << std::left << std::setw(42) << kind << std::right << std::setw(6) << count << "\n";
  std::map<std::string, std::pair<int, int>> outcomes;  // row: transactions, booked
  std::map<Violation, int> counts;
  std::vector<std::string> details;
  for (const Transaction& t : totals.transactions) {
    auto& row = outcomes[outcomeRow(t)];
    ++row.first;
    row.second += t.booked > 0 ? 1 : 0;
    for (Violation v : violationsOf(t)) {
      ++counts[v];
      details.push_back("  receipt " + std::to_string(t.receipt) + " (" + evidenceOf(t) + "): " + describe(v));
    }
  }
  counts[Violation::BookedUnsold] += static_cast<int>(totals.unsoldBookings.size());
  for (std::int64_t receipt : totals.unsoldBookings) {
    details.push_back("  receipt " + std::to_string(receipt) + ": " + describe(Violation::BookedUnsold));
  }
  printFaultTable(totals.transactions, out);
  out << "outcomes" << std::string(36, ' ') << "count  booked\n";
  for (const auto& [row, numbers] : outcomes) {
    out << "  " << std::left << std::setw(42) << row << std::right << std::setw(6) << numbers.first << std::setw(8)
        << numbers.second << "\n";
  }
  struct Held {
    int count = 0, longestHold = 0, longestRun = 0;
  };
  std::map<std::string, Held> locks;
  for (const Transaction& t : totals.transactions) {
    if (t.host.lockedFile.empty()) continue;
    Held& held = locks[t.host.lockedFile];
    ++held.count;
    held.longestHold = std::max(held.longestHold, t.host.lockMs);
    held.longestRun = std::max(held.longestRun, t.host.milliseconds);
  }
  out << "locks held by another process" << std::string(15, ' ') << "count  longest hold, ms  longest run, ms\n";
  for (const auto& [file, held] : locks) {
    out << "  " << std::left << std::setw(42) << file << std::right << std::setw(6) << held.count << std::setw(18)
        << held.longestHold << std::setw(17) << held.longestRun << "\n";
  }
  if (totals.retryRound) printRetryTable(totals.transactions, out);
  int total = 0;
  out << "violations\n";
  for (Violation v : kViolations) {
    if (v == Violation::NotSettled && !totals.retryRound) continue;
    out << "  " << std::left << std::setw(48) << describe(v) << std::right << std::setw(6) << counts[v] << "\n";
    total += counts[v];
  }
  for (const std::string& line : details) out << line << "\n";
  return total;
}

}  // namespace qel::reconcile
