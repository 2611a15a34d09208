// reconcile: sells and refunds through qelhost against a cash register that
// keeps a ledger, behind fault proxies, kills a share of the hosts in the
// middle of the transfer, then checks receipt by receipt that what the box
// office was shown agrees with what was booked. Exit code 0 when nothing
// disagrees, 1 on any violation, 2 on a wrong command line or a failed run.
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/reconcile/child_process.h"
#include "tools/reconcile/evidence.h"
#include "tools/reconcile/reconciliation.h"
#include "tools/reconcile/sale_run.h"

namespace qel::reconcile {
namespace {

constexpr char kUsage[] =
    "usage: reconcile --qelhost PATH --run DIR --ledger FILE (--url URL --proxy-log FILE)...\n"
    "                 [--transactions N] [--refund-every N] [--kill-permille N] [--kill-delay-ms N]\n"
    "                 [--seed S] [--first-receipt N]\n"
    "Each --url (with the log of the proxy behind it) gets a working folder of its own, and the\n"
    "transactions are shared out among them; the kill-permille hosts are killed once their trace\n"
    "says the request is going out.\n";
// A request that reached a proxy just before its host was killed may still
// be on its way to the cash register.
constexpr std::chrono::seconds kSettle{1};

struct Options {
  RunSettings run;
  std::string ledger;
  std::vector<std::string> proxyLogs;
};

long long number(const std::string& option, const std::string& text, long long low, long long high) {
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < low || value > high) {
    throw std::invalid_argument(option + " needs a whole number from " + std::to_string(low) + " to " +
                                std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

Options parse(int argc, char** argv) {
  Options options;
  RunSettings& run = options.run;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
    const std::string value = argv[++i];
    if (arg == "--qelhost") {
      run.qelhost = value;
    } else if (arg == "--run") {
      run.runDir = value;
    } else if (arg == "--ledger") {
      options.ledger = value;
    } else if (arg == "--url") {
      run.urls.push_back(value);
    } else if (arg == "--proxy-log") {
      options.proxyLogs.push_back(value);
    } else if (arg == "--transactions") {
      run.transactions = static_cast<int>(number(arg, value, 1, 1000000));
    } else if (arg == "--refund-every") {
      run.refundEvery = static_cast<int>(number(arg, value, 0, 1000000));
    } else if (arg == "--kill-permille") {
      run.killPermille = static_cast<int>(number(arg, value, 0, 1000));
    } else if (arg == "--kill-delay-ms") {
      run.killDelayMs = static_cast<int>(number(arg, value, 0, 60000));
    } else if (arg == "--seed") {
      run.seed = static_cast<std::uint64_t>(number(arg, value, 0, 1ll << 62));
    } else if (arg == "--first-receipt") {
      run.firstReceipt = number(arg, value, 1, 2000000000);
    } else {
      throw std::invalid_argument("unknown option " + arg);
    }
  }
  if (run.qelhost.empty() || run.runDir.empty() || options.ledger.empty() || run.urls.empty()) {
    throw std::invalid_argument("--qelhost, --run, --ledger and --url are needed");
  }
  if (run.firstReceipt + run.transactions > 2147483647ll) throw std::invalid_argument("receipts beyond 32 bits");
  return options;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What each folder's trace and `qelhost trace --in-doubt` say of its
// transactions.
void addTraces(const RunSettings& run, std::vector<Transaction>& transactions) {
  std::map<std::int64_t, TraceView> views;
  std::set<std::int64_t> listed;
  for (std::size_t w = 0; w < run.urls.size(); ++w) {
    const std::string dir = workerDir(run, w);
    const auto folder = readTrace({dir + "/QelConnect.trace.1", dir + "/QelConnect.trace"});
    views.insert(folder.begin(), folder.end());
    const std::string table = dir + "/in-doubt.jsonl";
    ChildProcess(run.qelhost, {"--workdir", dir, "trace", "--in-doubt", "--json"}, table).wait();
    const auto receipts = receiptsListed(readAll(table));
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
  try {
    options = parse(argc, argv);
  } catch (const std::invalid_argument& e) {
    std::cerr << "reconcile: " << e.what() << "\n" << kUsage;
    return 2;
  }
  try {
    return run(options);
  } catch (const std::exception& e) {
    std::cerr << "reconcile: " << e.what() << "\n";
    return 2;
  }
}
