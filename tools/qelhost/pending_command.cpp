// Listing the journal's open transactions with the library's own reading of
// the journal, so that the list and the guard never disagree.
#include "tools/qelhost/pending_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/journal_state.h"
#include "host/trace_schema.h"
#include "host/transaction_journal.h"
#include "platform/platform.h"
#include "tools/qelhost/local_time.h"

namespace qel::qelhost {
namespace {

const char* stateName(OpenState state) {
  switch (state) {
    case OpenState::Interrupted:
      return journal::state::kInterrupted;
    case OpenState::NotPrinted:
      return journal::state::kNotPrinted;
    case OpenState::InDoubt:
      break;
  }
  return journal::state::kInDoubt;
}

// What the state means, for the table.
const char* stateText(OpenState state) {
  switch (state) {
    case OpenState::Interrupted:
      return "in doubt: the process ended during the transfer";
    case OpenState::NotPrinted:
      return "booked, tickets not printed";
    case OpenState::InDoubt:
      break;
  }
  return "in doubt: the transfer failed after the order went out";
}

std::string amountText(double total) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f", total);
  return text;
}

}  // namespace

bool printPending(bool json, std::ostream& out, std::ostream& err) {
  // The journal is never renamed, so it is its own pair; read under the
  // writers' lock, it cannot show half a compaction.
  const platform::RecordFiles files =
      platform::readRecordFiles(journal::kFileName, journal::kFileName, kJournalReadLimit);
  if (files.currentStatus != platform::FileRead::Ok) {
    err << (files.currentStatus == platform::FileRead::Missing ? "No " : "Cannot read ") << journal::kFileName
        << " in this folder.\n";
    return false;
  }
  const std::vector<OpenTransaction> open = openTransactions(files.current, platform::utcMilliseconds());
  if (!json)
    out << (open.empty() ? "No open transactions.\n" : "Receipt     Kind    Amount      Attempt (local)      State\n");
  for (const OpenTransaction& entry : open) {
    const JournalLine& line = entry.line;
    const char* kind = line.kind == TransactionKind::Sale ? trace::kSale : trace::kRefund;
    if (json) {
      out << nlohmann::json{{"receipt", line.receipt},
                            {"kind", kind},
                            {"total", line.total},
                            {"time", line.time},
                            {"localTime", localTimeText(line.timeMs)},
                            {"id", line.id},
                            {"state", stateName(entry.state)}}
                 .dump()
          << "\n";
      continue;
    }
    char row[128];
    std::snprintf(row, sizeof row, "%-11d %-7s %10s  %-19s  ", line.receipt, kind, amountText(line.total).c_str(),
                  localTimeText(line.timeMs).c_str());
    out << row << stateText(entry.state) << "\n";
  }
  return true;
}

}  // namespace qel::qelhost
