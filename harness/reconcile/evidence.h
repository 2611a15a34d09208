// Reading what the run left behind: the cash register's ledger, the
// proxies' logs, and what qelhost reported in JSON (`qelhost --json` per
// transaction, `qelhost trace --json` per working folder). Nothing here
// reads a sentence or a printed table.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "harness/reconcile/reconciliation.h"

namespace qel::reconcile {

// Bookings by receipt.
std::map<std::int64_t, int> readLedger(const std::string& path);

// Adds the connections of a proxy's log to `faults`, by kind, and the
// fault of each receipt the proxy saw to `faultOf`.
void readProxyLog(const std::string& log, std::map<std::string, int>& faults,
                  std::map<std::int64_t, std::string>& faultOf);

// The receipts of the JSON Lines that `qelhost trace --in-doubt --json`
// printed, one object per transaction.
std::set<std::int64_t> receiptsListed(const std::string& jsonLines);

// What `qelhost --json` printed for transaction `t` (its standard output:
// one JSON object) into `t.host`: the outcome, and whether its error box
// carries the paragraph of a possible booking and, if so, whether that is
// the library's own paragraph for t's kind and receipt. False when the
// output holds no such object.
bool readHostReport(const std::string& output, Transaction& t);

// The word of `qelhost trace --json` by receipt, one object per line and
// transaction; "sending" is a transaction without its outcome line.
std::map<std::int64_t, TraceView> readTraceListing(const std::string& lines);

}  // namespace qel::reconcile
