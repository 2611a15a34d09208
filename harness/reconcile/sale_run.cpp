// Running the transactions: order files, qelhost per transaction, the kill
// of a host whose request is with the cash register, and the lock held
// against another.
#include "harness/reconcile/sale_run.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "harness/reconcile/evidence.h"
#include "harness/reconcile/file_lock.h"
#include "kit/child_process.h"
#include "kit/random_mix.h"

namespace qel::reconcile {
namespace {

using kit::ChildProcess;
using kit::seeded;

// One stream of seeded choices for each decision, so that no two decisions
// draw the same numbers; which stream is which does not matter.
enum Stream : std::uint64_t { kKillStream = 1, kDelayStream, kAmountStream, kLockStream, kLockTimeStream };

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::int64_t orderIdOf(std::int64_t receipt) { return receipt + 1000000; }

// A sale of one ticket, or the refund of an earlier sale's ticket; the
// amount varies with the seed.
std::string orderFile(const RunSettings& settings, int index, std::int64_t receipt, bool refund) {
  const double total = 5.0 + static_cast<double>(seeded(settings.seed, kAmountStream, index) % 9500) / 100.0;
  nlohmann::ordered_json order;
  if (refund) {
    order["refund"] = {{"Dwbelegnr", receipt},
                       {"Dblbruttogesamtpreis", total},
                       {"Szwaehrung", "EUR"},
                       {"Dwaufragid", orderIdOf(receipt - 1)}};
    return order.dump(1);
  }
  const nlohmann::ordered_json event = {{"Dwvaid", 501},          {"Dwvanummer", 2024},   {"Dwvanummerzusatz", 1},
                                        {"Tvadatum", 1719079200}, {"Tvabis", 1719090000}, {"Szname", "Abendkasse"}};
  const nlohmann::ordered_json ticket = {{"Dwticketid", receipt}, {"Dbticketgesamtpreis", total}};
  order["paymentType"] = {{"dwZahlartID", 3}};
  order["order"] = {
      {"Dwaufragid", orderIdOf(receipt)},
      {"Dwbelegnr", receipt},
      {"Dblbruttogesamtpreis", total},
      {"Dwpoolid", 12},
      {"positions", nlohmann::ordered_json::array({{{"Dwposid", 1},
                                                    {"Dbticketgesamtpreis", total},
                                                    {"event", event},
                                                    {"tickets", nlohmann::ordered_json::array({ticket})}}})}};
  return order.dump(1);
}

void configure(const std::string& dir, const std::string& url) {
  writeAll(dir + "/QelConnect.xml", "<endpoint><username>kasse</username><password>geheim</password><url>" + url +
                                        "</url></endpoint>\n<diagnostics><trace>1</trace></diagnostics>\n");
}

void prepareWorker(const RunSettings& settings, std::size_t worker) {
  const std::string dir = workerDir(settings, worker);
  std::filesystem::create_directories(dir + "/orders");
  configure(dir, settings.urls[worker]);
  writeAll(dir + "/Sales.ini", "[Kasse]\r\nTerminalID=K" + std::to_string(worker + 1) + "\r\n");
}

// Whether the proxy's announcements, from byte `from` on, name `receipt`.
bool forwarded(const std::string& announcements, std::size_t from, std::int64_t receipt) {
  std::ifstream in(announcements, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from));
  const std::string key = "\"receipt\":" + std::to_string(receipt) + "}";
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(key) != std::string::npos) return true;
  }
  return false;
}

std::size_t sizeOf(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::size_t>(size);
}

// Kills the host once the proxy has handed its request on, after a seeded
// pause; true when it was killed rather than ending first. What the host
// wrote meanwhile plays no part in the moment.
bool killOnceForwarded(ChildProcess& host, const RunSettings& settings, int index, const std::string& announcements,
                       std::size_t from, std::int64_t receipt) {
  while (!host.poll()) {
    if (forwarded(announcements, from, receipt)) {
      const auto pause = seeded(settings.seed, kDelayStream, index) % (settings.killDelayMs + 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
      if (host.poll()) return false;
      host.kill();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

Transaction runOne(const RunSettings& settings, std::size_t worker, int index) {
  const std::string dir = workerDir(settings, worker);
  Transaction t;
  t.receipt = settings.firstReceipt + index;
  t.refund = settings.refundEvery > 0 && index % settings.refundEvery == settings.refundEvery - 1;
  const std::string order = dir + "/orders/" + std::to_string(t.receipt) + ".json";
  const std::string report = dir + "/orders/" + std::to_string(t.receipt) + ".report.json";
  const std::string output = dir + "/orders/" + std::to_string(t.receipt) + ".out";
  writeAll(order, orderFile(settings, index, t.receipt, t.refund));
  const std::string& announcements = settings.forwardedLogs[worker];
  const std::size_t announced = sizeOf(announcements);
  const bool kill = static_cast<int>(seeded(settings.seed, kKillStream, index) % 1000) < settings.killPermille;
  // A held lock may cost the trace its lines, so a killed host, which only
  // its trace speaks for, never meets one.
  const std::uint64_t lockChoice = seeded(settings.seed, kLockStream, index);
  const bool lock = !kill && static_cast<int>(lockChoice % 1000) < settings.lockPermille;
  const int lockMs = static_cast<int>(seeded(settings.seed, kLockTimeStream, index) % (settings.lockMaxMs + 1));
  const std::string lockedFile = dir + ((lockChoice >> 32) % 2 == 0 ? "/QelConnect.trace" : "/QelConnect.log");
  std::optional<FileLock> held;
  if (lock) {
    held.emplace(lockedFile);
    if (held->held()) {
      t.host.lockedFile = lockedFile.substr(dir.size() + 1);
      t.host.lockMs = lockMs;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  ChildProcess host(settings.qelhost, {"--workdir", dir, "--json", "--answers", "ok,ok", order}, report, output);
  if (held) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(lockMs));
    held.reset();
  }
  t.host.killPlanned = kill;
  t.host.killed = kill && killOnceForwarded(host, settings, index, announcements, announced, t.receipt);
  if (!t.host.killed) t.host.exitCode = host.wait();
  t.host.milliseconds = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  if (!t.host.killed) readHostReport(readAll(report), t);
  return t;
}

// Runs `runOne(worker, index)` for every transaction, each folder selling
// its share in turn, the folders side by side.
template <typename RunOne>
void inEveryFolder(const RunSettings& settings, RunOne runOne) {
  const std::size_t workers = settings.urls.size();
  std::mutex failureMutex;
  std::string failure;
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      try {
        for (int i = static_cast<int>(w); i < settings.transactions; i += static_cast<int>(workers)) runOne(w, i);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(failureMutex);
        failure = e.what();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  if (!failure.empty()) throw std::runtime_error(failure);
}

void retryOne(const RunSettings& settings, std::size_t worker, bool inLedger, Transaction& t) {
  const std::string dir = workerDir(settings, worker);
  const std::string stem = dir + "/orders/" + std::to_string(t.receipt);
  t.retried = true;
  t.retryAnswers = retryAnswers(t, inLedger);
  ChildProcess host(settings.qelhost, {"--workdir", dir, "--json", "--answers", t.retryAnswers, stem + ".json"},
                    stem + ".retry.json", stem + ".retry.out");
  // The report is read as the transaction's own, then kept as its retry's.
  Transaction again = t;
  again.host = HostView{};
  again.host.exitCode = host.wait();
  readHostReport(readAll(stem + ".retry.json"), again);
  t.retry = again.host;
}

}  // namespace

std::string workerDir(const RunSettings& settings, std::size_t worker) {
  return settings.runDir + "/worker-" + std::to_string(worker + 1);
}

std::vector<Transaction> runTransactions(const RunSettings& settings) {
  for (std::size_t w = 0; w < settings.urls.size(); ++w) prepareWorker(settings, w);
  std::vector<Transaction> transactions(static_cast<std::size_t>(settings.transactions));
  // A folder's proxy's n-th connection is its n-th transaction.
  inEveryFolder(settings,
                [&](std::size_t w, int i) { transactions[static_cast<std::size_t>(i)] = runOne(settings, w, i); });
  return transactions;
}

void retryTransactions(const RunSettings& settings, const std::map<std::int64_t, int>& booked,
                       std::vector<Transaction>& transactions) {
  for (std::size_t w = 0; w < settings.urls.size(); ++w) configure(workerDir(settings, w), settings.retryUrl);
  inEveryFolder(settings, [&](std::size_t w, int i) {
    Transaction& t = transactions[static_cast<std::size_t>(i)];
    if (!needsRetry(t)) return;
    const auto it = booked.find(t.receipt);
    retryOne(settings, w, it != booked.end() && it->second > 0, t);
  });
}

}  // namespace qel::reconcile
