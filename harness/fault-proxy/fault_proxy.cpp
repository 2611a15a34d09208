// fault-proxy: stands on loopback between the connector and the cash
// register (kasse-sim) and injects, per connection, a fault chosen from a
// seed: a refused connection, a request never forwarded, an answer lost,
// late, cut, or replaced by a gateway error, a reset in the body.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "harness/fault-proxy/fault_plan.h"
#include "kit/http_reader.h"
#include "kit/socket.h"
#include "tools/cli/decimal.h"
#include "tools/cli/help_formatter.h"

namespace qel::proxy {
namespace {

using kit::HttpMessage;
using kit::Socket;

// No side waits longer than this for the other.
constexpr int kSocketTimeoutSeconds = 30;

struct Settings {
  int port = 0;
  int upstreamPort = 0;
  std::uint64_t seed = 1;
  std::string shares = defaultShares();
  double delaySeconds = 8.0;
  std::string logFile;
  std::string forwardedFile;
};

// What became of one connection, as the log line tells it.
struct Record {
  std::uint64_t connection = 0;
  Fault fault = Fault::Pass;
  std::optional<long long> receipt;
  bool forwarded = false;  // the whole request went to the cash register
  int upstreamStatus = 0;  // of the cash register's answer, 0 without one
  std::string note;
  std::string heldAnswer;  // of a delay, sent once the connection is logged
};

// The head without its Expect header: the proxy answers 100 Continue itself.
std::string withoutExpect(const std::string& head) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lower.find("\r\nexpect:");
  if (at == std::string::npos) return head;
  return head.substr(0, at) + head.substr(head.find("\r\n", at + 2));
}

// The decimal number between <Dwbelegnr> and </Dwbelegnr> of `body`, if any.
std::optional<long long> receiptOf(const std::string& body) {
  const std::size_t open = body.find("<Dwbelegnr>");
  if (open == std::string::npos) return std::nullopt;
  const char* digits = body.c_str() + open + std::strlen("<Dwbelegnr>");
  char* end = nullptr;
  const long long value = std::strtoll(digits, &end, 10);
  if (end == digits || std::strncmp(end, "</Dwbelegnr>", 12) != 0) return std::nullopt;
  return value;
}

// A reader of `socket`, whose receives end with its time-outs.
kit::HttpReader readerOf(const Socket& socket) {
  return kit::HttpReader([&socket](char* buffer, std::size_t size) { return kit::receiveSome(socket, buffer, size); });
}

class Proxy {
 public:
  Proxy(const Settings& settings)
      : settings_(settings),
        plan_(settings.seed, settings.shares),
        log_(openLog(settings.logFile)),
        forwarded_(openLog(settings.forwardedFile)) {}

  const FaultPlan& plan() const { return plan_; }

  void serve(Socket client, std::uint64_t index) {
    Record record;
    record.connection = index;
    record.fault = plan_.choose(index);
    handle(client, record);
    // Logged before the hold, so that the log is whole once the cash
    // register has seen every request.
    report(record);
    if (!record.heldAnswer.empty()) {
      std::this_thread::sleep_for(std::chrono::duration<double>(settings_.delaySeconds));
      kit::sendAll(client, record.heldAnswer);
    }
  }

 private:
  void handle(Socket& client, Record& record) {
    const Fault fault = record.fault;
    if (fault == Fault::Refuse) {
      kit::resetConnection(client);
      return;
    }
    kit::HttpReader fromClient = readerOf(client);
    HttpMessage request;
    if (!fromClient.readHead(request) || !request.contentLength()) {
      record.note = "no whole request head";
      return;
    }
    if (request.expectsContinue() && !kit::sendAll(client, "HTTP/1.1 100 Continue\r\n\r\n")) return;
    const std::size_t length = *request.contentLength();
    if (fault == Fault::ResetInBody) {
      fromClient.readBody(request, length / 2);
      record.receipt = receiptOf(request.body);
      kit::resetConnection(client);
      return;
    }
    if (!fromClient.readBody(request, length)) {
      record.note = "request body cut by the client";
      return;
    }
    record.receipt = receiptOf(request.body);
    if (fault == Fault::CloseBefore) return;

    const Socket upstream = kit::connectToLoopback(static_cast<std::uint16_t>(settings_.upstreamPort));
    if (!upstream.valid() || !kit::sendAll(upstream, withoutExpect(request.head) + request.body)) {
      record.note = "cash register unreachable";
      kit::sendAll(client, replacementAnswer(Fault::Answer502));
      return;
    }
    kit::setTimeouts(upstream, kSocketTimeoutSeconds);
    record.forwarded = true;
    announceForwarded(record);
    kit::HttpReader fromUpstream = readerOf(upstream);
    HttpMessage answer;
    if (!fromUpstream.readHead(answer) || !fromUpstream.readBody(answer, answer.contentLength().value_or(0))) {
      record.note = "no whole answer from the cash register";
      return;
    }
    record.upstreamStatus = std::atoi(answer.head.c_str() + answer.head.find(' ') + 1);
    const std::string whole = answer.head + answer.body;
    switch (fault) {
      case Fault::CloseAfter:
        return;
      case Fault::Delay:
        record.heldAnswer = whole;
        return;
      case Fault::CutAnswer:
        kit::sendAll(client, whole.substr(0, whole.size() / 2));
        return;
      case Fault::Pass:
        kit::sendAll(client, whole);
        return;
      default:
        kit::sendAll(client, replacementAnswer(fault));
    }
  }

  static int openLog(const std::string& path) {
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot open '" + path + "': " + std::strerror(errno));
    return fd;
  }

  void append(int fd, const std::string& text) {
    if (fd >= 0 && ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      std::cerr << "fault-proxy: cannot write a log: " << std::strerror(errno) << std::endl;
    }
  }

  // The moment a watcher may kill the client: its whole request is with
  // the cash register, whatever the client wrote about it.
  void announceForwarded(const Record& record) {
    if (forwarded_ < 0) return;
    nlohmann::ordered_json line = {{"connection", record.connection}};
    line["receipt"] = record.receipt ? nlohmann::json(*record.receipt) : nlohmann::json();
    append(forwarded_, line.dump() + "\n");
  }

  void report(const Record& record) {
    nlohmann::ordered_json line = {{"connection", record.connection}, {"fault", faultName(record.fault)}};
    line["receipt"] = record.receipt ? nlohmann::json(*record.receipt) : nlohmann::json();
    line["forwarded"] = record.forwarded;
    line["upstreamStatus"] = record.upstreamStatus;
    if (!record.note.empty()) line["note"] = record.note;
    const std::string text = line.dump() + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    std::cout << text << std::flush;
    append(log_, text);
  }

  const Settings settings_;
  const FaultPlan plan_;
  const int log_;        // open for the process's life, or -1
  const int forwarded_;  // likewise
  std::mutex mutex_;
};

int run(const Settings& settings) {
  Proxy proxy(settings);
  std::uint16_t port = static_cast<std::uint16_t>(settings.port);
  const Socket listener = kit::listenOnLoopback(port);
  std::cout << port << "\n"
            << "fault-proxy: to 127.0.0.1:" << settings.upstreamPort << ", " << proxy.plan().describe() << std::endl;
  // Each connection on a thread of its own, so that a held answer holds
  // nobody else; the process ends with a signal.
  for (std::uint64_t index = 0;; ++index) {
    Socket client = kit::acceptConnection(listener);
    if (!client.valid()) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      throw std::runtime_error(std::string("accept failed: ") + std::strerror(errno));
    }
    kit::setTimeouts(client, kSocketTimeoutSeconds);
    std::thread([&proxy, index](Socket connection) { proxy.serve(std::move(connection), index); }, std::move(client))
        .detach();
  }
}

}  // namespace
}  // namespace qel::proxy

int main(int argc, char** argv) {
  qel::proxy::Settings settings;
  CLI::App app{
      "fault-proxy: forwards HTTP/1.1 requests on 127.0.0.1 to a cash register, injecting a fault chosen\n"
      "per connection from the seed. Prints the port, then the choices and their shares, then one\n"
      "JSON line per connection.",
      "fault-proxy"};
  qel::cli::useHelpFormatter(app);
  app.add_option("--port", settings.port, "port on 127.0.0.1; 0 picks a free one")
      ->required()
      ->transform(qel::cli::decimalInteger())
      ->check(CLI::Range(0, 65535));
  app.add_option("--upstream", settings.upstreamPort, "port of the cash register on 127.0.0.1")
      ->required()
      ->transform(qel::cli::decimalInteger())
      ->check(CLI::Range(1, 65535));
  app.add_option("--seed", settings.seed, "seed of the choices")
      ->capture_default_str()
      ->transform(qel::cli::decimalInteger());
  std::string names;
  for (const auto& row : qel::proxy::kFaults) names += (names.empty() ? "" : ", ") + std::string(row.name);
  app.add_option("--shares", settings.shares, "weights of the faults, name=weight,...: " + names)
      ->capture_default_str();
  app.add_option("--delay", settings.delaySeconds, "how long the delay fault holds the answer, in seconds")
      ->capture_default_str()
      ->transform(qel::cli::decimalFraction())
      ->check(CLI::Range(0.0, 3600.0));
  app.add_option("--log", settings.logFile, "also append each connection's JSON line to this file");
  app.add_option("--forwarded", settings.forwardedFile,
                 "append a JSON line with the connection and receipt to this file as soon as a whole\n"
                 "request went to the cash register");
  CLI11_PARSE(app, argc, argv);
  try {
    return qel::proxy::run(settings);
  } catch (const std::exception& e) {
    std::cerr << "fault-proxy: " << e.what() << std::endl;
    return 1;
  }
}
