// The sales and refunds of a reconciliation run: each through qelhost with
// the trace on, several working folders at once, a share of the hosts
// killed in the middle of the transfer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/reconcile/reconciliation.h"

namespace qel::reconcile {

struct RunSettings {
  std::string qelhost;
  std::string runDir;
  // One cash-register URL per working folder, each served in turn.
  std::vector<std::string> urls;
  int transactions = 200;
  // Every this many transactions one is a refund.
  int refundEvery = 5;
  // Of every thousand hosts, this many are killed once their trace says
  // the request is going out.
  int killPermille = 20;
  // A killed host gets up to this long after its `sending` line.
  int killDelayMs = 2;
  std::uint64_t seed = 1;
  std::int64_t firstReceipt = 500000;
};

// The folder of worker `worker` inside the run folder.
std::string workerDir(const RunSettings& settings, std::size_t worker);

// Runs every transaction; each comes back with its receipt and host view
// (trace and ledger are read afterwards).
std::vector<Transaction> runTransactions(const RunSettings& settings);

// One value from the seed for `stream` and `index`, the same everywhere.
std::uint64_t seeded(std::uint64_t seed, std::uint64_t stream, std::uint64_t index);

}  // namespace qel::reconcile
