// qelhost trace: the transaction trace of a working folder as a table, for
// the support desk's first look; the JSON lines stay the complete record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>

namespace qel::qelhost {

struct TraceQuery {
  // Only the last `last` entries shown; 0 shows all.
  std::size_t last = 0;
  // Only sales and refunds whose outcome is in doubt.
  bool inDoubtOnly = false;
  // Only entries from `sinceMs` on and before `untilMs` (milliseconds since
  // 1970 UTC); an entry without a readable time is left out once either is
  // set.
  std::int64_t sinceMs = std::numeric_limits<std::int64_t>::min();
  std::int64_t untilMs = std::numeric_limits<std::int64_t>::max();
  bool timeBounded() const {
    return sinceMs != std::numeric_limits<std::int64_t>::min() || untilMs != std::numeric_limits<std::int64_t>::max();
  }
};

// Prints the entries of QelConnect.trace.1 and QelConnect.trace in the
// current folder, oldest first, one line each (time in UTC and in local
// time, kind, receipt, total, outcome, message), to `out`; notes about missing or unreadable files go to
// `err`. Returns false when there is no trace to read.
// A transaction whose "sending" line no line of its own followed is shown
// in doubt, with the message "No outcome line was written.".
bool printTrace(const TraceQuery& query, std::ostream& out, std::ostream& err);

// The same entries as JSON Lines, one object per transaction with the keys
// "id", "kind", "receipt", "outcome", "time", "httpStatus" and "message",
// each null when the entry lacks it; a transaction without an outcome line
// has the outcome "sending".
bool printTraceJson(const TraceQuery& query, std::ostream& out, std::ostream& err);

}  // namespace qel::qelhost
