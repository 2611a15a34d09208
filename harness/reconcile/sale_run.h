// The sales and refunds of a reconciliation run: each through qelhost with
// the trace on, several working folders at once; a share of the hosts killed
// once their request is with the cash register, and a share run while
// another process holds their trace's or log's lock.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "harness/reconcile/reconciliation.h"

namespace qel::reconcile {

struct RunSettings {
  std::string qelhost;
  std::string runDir;
  // One cash-register URL per working folder, each served in turn, and the
  // file in which the fault proxy behind it announces each request it has
  // handed on whole.
  std::vector<std::string> urls;
  std::vector<std::string> forwardedLogs;
  int transactions = 200;
  // Every this many transactions one is a refund.
  int refundEvery = 5;
  // Of every thousand hosts, this many are killed once the proxy has
  // handed their whole request to the cash register.
  int killPermille = 20;
  // A killed host gets up to this long after that.
  int killDelayMs = 2;
  // Of every thousand hosts, this many run while another process holds the
  // trace's or the log's lock, for up to lockMaxMs from the host's start.
  int lockPermille = 20;
  int lockMaxMs = 1500;
  std::uint64_t seed = 1;
  std::int64_t firstReceipt = 500000;
  // The cash register's own URL, no proxy in between: with it, the retry
  // round runs.
  std::string retryUrl;
};

// The folder of worker `worker` inside the run folder.
std::string workerDir(const RunSettings& settings, std::size_t worker);

// Runs every transaction; each comes back with its receipt and host view
// (trace and ledger are read afterwards).
std::vector<Transaction> runTransactions(const RunSettings& settings);

// The retry round: every transaction that needs it (needsRetry) is sold
// again in its own working folder, now configured with the retry URL, by an
// operator who answers as retryAnswers says for what `booked` holds.
void retryTransactions(const RunSettings& settings, const std::map<std::int64_t, int>& booked,
                       std::vector<Transaction>& transactions);

}  // namespace qel::reconcile
