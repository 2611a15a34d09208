// reconcile: sells and refunds through qelhost against a cash register that
// keeps a ledger, behind fault proxies, kills a share of the hosts in the
// middle of the transfer, then checks receipt by receipt that what the box
// office was shown agrees with what was booked. Exit code 0 when nothing
// disagrees, 1 on any violation, 2 on a wrong command line or a failed run.
#include <CLI/CLI.hpp>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "harness/reconcile/evidence.h"
#include "harness/reconcile/reconciliation.h"
#include "harness/reconcile/sale_run.h"
#include "kit/child_process.h"
#include "tools/cli/help_formatter.h"

namespace qel::reconcile {
namespace {

constexpr char kDescription[] =
    "reconcile: sells and refunds through qelhost against a cash register that keeps a ledger, each working\n"
    "folder behind a fault proxy of its own; kills a share of the hosts once their proxy has handed the\n"
    "whole request on, holds a share's trace or log lock from another process, then checks receipt by\n"
    "receipt what the box office was shown against what was booked. Exit code 0 when nothing disagrees,\n"
    "1 on any violation, 2 on a wrong command line or a failed run.";
// A request that reached a proxy just before its host was killed may still
// be on its way to the cash register.
constexpr std::chrono::seconds kSettle{1};

struct Options {
  RunSettings run;
  std::string ledger;
  std::vector<std::string> proxyLogs;
};

// Parses the command line into `options`; an exit code when the program
// should end at once (help, or a wrong command line).
std::optional<int> parse(int argc, char** argv, Options& options) {
  RunSettings& run = options.run;
  CLI::App app{kDescription, "reconcile"};
  cli::useHelpFormatter(app);
  app.add_option("--qelhost", run.qelhost, "the qelhost to run (or a program that stands for it)")->required();
  app.add_option("--run", run.runDir, "folder for the working folders")->required();
  app.add_option("--ledger", options.ledger, "the cash register's ledger")->required();
  app.add_option("--url", run.urls, "a cash register's url; one working folder each")->required();
  app.add_option("--proxy-log", options.proxyLogs, "the log of the proxy behind each url")->required();
  app.add_option("--forwarded", run.forwardedLogs, "the proxy's announcements of requests handed on, per url")
      ->required();
  app.add_option("--transactions", run.transactions, "transactions in all")
      ->capture_default_str()
      ->check(CLI::Range(1, std::numeric_limits<int>::max()));
  app.add_option("--refund-every", run.refundEvery, "one transaction in this many is a refund; 0: none")
      ->capture_default_str()
      ->check(CLI::Range(0, std::numeric_limits<int>::max()));
  app.add_option("--kill-permille", run.killPermille, "hosts of every thousand killed in the transfer")
      ->capture_default_str()
      ->check(CLI::Range(0, 1000));
  app.add_option("--kill-delay-ms", run.killDelayMs, "longest pause before the kill")
      ->capture_default_str()
      ->check(CLI::Range(0, 60000));
  app.add_option("--lock-permille", run.lockPermille, "hosts of every thousand run with their trace or log locked")
      ->capture_default_str()
      ->check(CLI::Range(0, 1000));
  app.add_option("--lock-max-ms", run.lockMaxMs, "longest hold of such a lock from the host's start")
      ->capture_default_str()
      ->check(CLI::Range(0, 60000));
  app.add_option("--seed", run.seed, "seed of every choice")->capture_default_str();
  app.add_option("--retry-url", run.retryUrl,
                 "the cash register's own url: sell every transaction not shown as paid once more through it,\n"
                 "answering the question of a possible booking by the ledger");
  app.add_option("--first-receipt", run.firstReceipt, "receipt of the first transaction")
      ->capture_default_str()
      ->check(CLI::Range(1ll, 2000000000ll));
  try {
    app.parse(argc, argv);
    if (options.proxyLogs.size() != run.urls.size() || run.forwardedLogs.size() != run.urls.size()) {
      throw CLI::ValidationError("each --url needs its --proxy-log and --forwarded");
    }
    if (run.firstReceipt + run.transactions > 2147483647ll) throw CLI::ValidationError("receipts beyond 32 bits");
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return std::nullopt;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What qelhost's trace listing says of each folder's transactions, all of
// them and those in doubt, in JSON.
std::string traceListing(const RunSettings& run, const std::string& dir, bool inDoubtOnly) {
  const std::string listing = dir + (inDoubtOnly ? "/in-doubt.jsonl" : "/trace.jsonl");
  std::vector<std::string> arguments = {"--workdir", dir, "trace", "--json"};
  if (inDoubtOnly) arguments.push_back("--in-doubt");
  kit::ChildProcess(run.qelhost, arguments, listing, dir + "/trace-listing.err").wait();
  return readAll(listing);
}

void addTraces(const RunSettings& run, std::vector<Transaction>& transactions) {
  std::map<std::int64_t, TraceView> views;
  std::set<std::int64_t> listed;
  for (std::size_t w = 0; w < run.urls.size(); ++w) {
    const std::string dir = workerDir(run, w);
    const auto folder = readTraceListing(traceListing(run, dir, false));
    views.insert(folder.begin(), folder.end());
    const auto receipts = receiptsListed(traceListing(run, dir, true));
    listed.insert(receipts.begin(), receipts.end());
  }
  for (Transaction& t : transactions) {
    t.trace = views[t.receipt];
    t.trace.listedInDoubt = listed.count(t.receipt) > 0;
  }
}

int run(const Options& options) {
  const auto start = std::chrono::steady_clock::now();
  Totals totals;
  totals.transactions = runTransactions(options.run);
  std::this_thread::sleep_for(kSettle);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  addTraces(options.run, totals.transactions);
  std::map<std::int64_t, int> booked = readLedger(options.ledger);
  std::map<std::int64_t, std::string> faultOf;
  for (const std::string& log : options.proxyLogs) readProxyLog(log, totals.faults, faultOf);
  int refunds = 0;
  int killed = 0;
  int planned = 0;
  for (Transaction& t : totals.transactions) {
    t.booked = booked[t.receipt];
    t.fault = faultOf[t.receipt];
    booked.erase(t.receipt);
    refunds += t.refund ? 1 : 0;
    killed += t.host.killed ? 1 : 0;
    planned += t.host.killPlanned ? 1 : 0;
  }
  if (!options.run.retryUrl.empty()) {
    totals.retryRound = true;
    retryTransactions(options.run, readLedger(options.ledger), totals.transactions);
    const std::map<std::int64_t, int> after = readLedger(options.ledger);
    for (Transaction& t : totals.transactions) {
      const auto it = after.find(t.receipt);
      t.bookedAfterRetry = it == after.end() ? 0 : it->second;
    }
  }
  for (const auto& [receipt, count] : booked) {
    if (count > 0) totals.unsoldBookings.insert(receipt);
  }

  const RunSettings& run = options.run;
  std::cout << "reconcile: " << run.transactions << " transactions (" << run.transactions - refunds << " sales, "
            << refunds << " refunds) in " << run.urls.size() << " folders, seed " << run.seed << ", " << killed
            << " of " << planned << " hosts killed in the transfer (the others ended first), "
            << static_cast<int>(seconds + 0.5) << " s\n";
  const int violations = printReconciliation(totals, std::cout);
  std::cout << (violations == 0 ? "reconcile: every sale accounted for\n"
                                : "reconcile: " + std::to_string(violations) + " violation(s)\n");
  return violations == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qel::reconcile

int main(int argc, char** argv) {
  using namespace qel::reconcile;
  Options options;
  if (const auto code = parse(argc, argv, options)) return *code;
  try {
    return run(options);
  } catch (const std::exception& e) {
    std::cerr << "reconcile: " << e.what() << "\n";
    return 2;
  }
}
