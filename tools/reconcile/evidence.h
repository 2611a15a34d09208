// Reading what the run left behind: the cash register's ledger, the
// proxies' logs, the traces and `qelhost trace --in-doubt`.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/reconcile/reconciliation.h"

namespace qel::reconcile {

// Bookings by receipt.
std::map<std::int64_t, int> readLedger(const std::string& path);

// Adds the connections of a proxy's log to `faults`, by kind, and the
// fault of each receipt the proxy saw to `faultOf`.
void readProxyLog(const std::string& log, std::map<std::string, int>& faults,
                  std::map<std::int64_t, std::string>& faultOf);

// The trace's word by receipt, from the JSON lines of `traceFiles` (older
// first). A `sending` line is alone when no outcome line has its id.
std::map<std::int64_t, TraceView> readTrace(const std::vector<std::string>& traceFiles);

// The receipt that the paragraph of a possible booking in `shown` names
// ("Die Kasse hat Beleg N möglicherweise schon gebucht", or "die
// Rückbuchung von Beleg N"); unset without the paragraph, -1 when it names
// no number.
std::optional<std::int64_t> receiptInDoubt(const std::string& shown);

// The receipts in the table that `qelhost trace --in-doubt` printed.
std::set<std::int64_t> receiptsListed(const std::string& table);

// What `qelhost --json` reported of a sale or refund: the JSON object on
// the last line of `output` gives the outcome and, from its boxes' texts,
// the receipt that a paragraph names. False when there is no such object.
bool readHostReport(const std::string& output, HostView& host);

// The word of `qelhost trace --json` by receipt, one object per line and
// transaction; "sending" is a transaction without its outcome line.
std::map<std::int64_t, TraceView> readTraceListing(const std::string& lines);

}  // namespace qel::reconcile
