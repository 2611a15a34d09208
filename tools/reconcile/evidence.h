// Reading what the run left behind: the cash register's ledger, the
// proxies' logs, the traces and `qelhost trace --in-doubt`.
#pragma once

#include <cstdint>
#include <map>
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

// The receipts of the JSON Lines that `qelhost trace --in-doubt --json`
// printed, one object per transaction.
std::set<std::int64_t> receiptsListed(const std::string& jsonLines);

}  // namespace qel::reconcile
