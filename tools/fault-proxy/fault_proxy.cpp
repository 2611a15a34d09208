// fault-proxy: stands on loopback between the connector and the cash
// register (kasse-sim) and injects, per connection, a fault chosen from a
// seed: a refused connection, a request never forwarded, an answer lost,
// late, cut, or replaced by a gateway error, a reset in the body.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tools/cli/decimal.h"
#include "tools/fault-proxy/fault_plan.h"
#include "tools/fault-proxy/http_exchange.h"

namespace qel::proxy {
namespace {

constexpr char kDefaultShares[] =
    "pass=70,refuse=4,close-before=4,close-after=4,delay=2,cut=4,502=4,504=4,reset-body=4";
// No side waits longer than this for the other.
constexpr int kSocketTimeoutSeconds = 30;

struct Settings {
  int port = 0;
  int upstreamPort = 0;
  std::uint64_t seed = 1;
  std::string shares = kDefaultShares;
  double delaySeconds = 8.0;
  std::string logFile;
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

class Proxy {
 public:
  Proxy(const Settings& settings) : settings_(settings), plan_(settings.seed, settings.shares) {
    if (!settings.logFile.empty()) {
      log_ = ::open(settings.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (log_ < 0) throw std::runtime_error("cannot open the log '" + settings.logFile + "': " + std::strerror(errno));
    }
  }

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
      client.send(record.heldAnswer);
    }
  }

 private:
  void handle(Socket& client, Record& record) {
    const Fault fault = record.fault;
    if (fault == Fault::Refuse) {
      client.reset();
      return;
    }
    Message request;
    if (!readHead(client, request) || !request.contentLength) {
      record.note = "no whole request head";
      return;
    }
    if (request.expectsContinue && !client.send("HTTP/1.1 100 Continue\r\n\r\n")) return;
    const std::size_t length = *request.contentLength;
    if (fault == Fault::ResetInBody) {
      readBody(client, request, length / 2);
      record.receipt = receiptOf(request.body);
      client.reset();
      return;
    }
    if (!readBody(client, request, length)) {
      record.note = "request body cut by the client";
      return;
    }
    record.receipt = receiptOf(request.body);
    if (fault == Fault::CloseBefore) return;

    Socket upstream = connectLoopback(settings_.upstreamPort);
    if (upstream.fd() < 0 || !upstream.send(withoutExpect(request.head) + request.body)) {
      record.note = "cash register unreachable";
      client.send(gatewayAnswer(502));
      return;
    }
    record.forwarded = true;
    Message answer;
    if (!readHead(upstream, answer) || !readBody(upstream, answer, answer.contentLength.value_or(0))) {
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
        client.send(whole.substr(0, whole.size() / 2));
        return;
      case Fault::Answer502:
        client.send(gatewayAnswer(502));
        return;
      case Fault::Answer504:
        client.send(gatewayAnswer(504));
        return;
      default:
        client.send(whole);
    }
  }

  static std::string gatewayAnswer(int status) {
    const std::string body = "fault-proxy: simulated " + std::to_string(status) + "\n";
    return "HTTP/1.1 " + std::to_string(status) + (status == 502 ? " Bad Gateway" : " Gateway Timeout") +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
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
    if (log_ >= 0 && ::write(log_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      std::cerr << "fault-proxy: cannot write the log: " << std::strerror(errno) << std::endl;
    }
  }

  const Settings settings_;
  const FaultPlan plan_;
  int log_ = -1;  // open for the process's life
  std::mutex mutex_;
};

int boundPort(const Socket& listener) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

void setTimeouts(int fd) {
  const timeval limit{kSocketTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

int run(const Settings& settings) {
  Proxy proxy(settings);
  const Socket listener = listenLoopback(settings.port);
  std::cout << boundPort(listener) << "\n"
            << "fault-proxy: to 127.0.0.1:" << settings.upstreamPort << ", " << proxy.plan().describe() << std::endl;
  // Each connection on a thread of its own, so that a held answer holds
  // nobody else; the process ends with a signal.
  for (std::uint64_t index = 0;; ++index) {
    const int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      throw std::runtime_error(std::string("accept failed: ") + std::strerror(errno));
    }
    setTimeouts(fd);
    std::thread([&proxy, fd, index] { proxy.serve(Socket(fd), index); }).detach();
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
  app.add_option("--shares", settings.shares,
                 "weights of the faults, name=weight,...: pass, refuse, close-before, close-after, delay, cut,\n"
                 "502, 504, reset-body")
      ->capture_default_str();
  app.add_option("--delay", settings.delaySeconds, "how long the delay fault holds the answer, in seconds")
      ->capture_default_str()
      ->transform(qel::cli::decimalFraction())
      ->check(CLI::Range(0.0, 3600.0));
  app.add_option("--log", settings.logFile, "also append each connection's JSON line to this file");
  CLI11_PARSE(app, argc, argv);
  try {
    return qel::proxy::run(settings);
  } catch (const std::exception& e) {
    std::cerr << "fault-proxy: " << e.what() << std::endl;
    return 1;
  }
}
