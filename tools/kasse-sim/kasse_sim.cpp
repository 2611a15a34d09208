// kasse-sim: serves the SAP cash register's sales operation on 127.0.0.1
// over HTTP or HTTPS, checks each request as the real service would and
// answers with the configured Rect and Rectmsg; or, as a relay, passes each
// request on to a real cash register and records both sides.
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "tools/kasse-sim/ledger.h"
#include "tools/kasse-sim/order_check.h"
#include "tools/kasse-sim/recording.h"
#include "tools/kasse-sim/relay.h"
#include "tools/kasse-sim/request_schema.h"
#include "tools/kasse-sim/server_start.h"
#include "tools/kasse-sim/sim_options.h"
#include "tools/kasse-sim/soap_messages.h"

namespace qel::sim {

namespace {

const char kSoapContentType[] = "application/soap+xml; charset=utf-8";
const std::size_t kMaxRequestBytes = 16u * 1024u * 1024u;
// A silent answer of --mix outlasts the connector's 6-second time-out.
const double kSilentSeconds = 8.0;
const int kMixRefusedRect = 4;

// Base64 by OpenSSL, which the HTTPS side links anyway.
std::string base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string readBodyFile(const std::string& path) {
  checkReadableFile("body file", path);
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Simulator {
 public:
  explicit Simulator(SimOptions options) : options_(std::move(options)) {
    if (options_.user) expectedAuthorization_ = "basic " + base64(*options_.user + ":" + *options_.password);
    if (options_.bodyFile) body_ = readBodyFile(*options_.bodyFile);
    if (options_.ledgerFile) ledger_ = std::make_unique<Ledger>(*options_.ledgerFile);
  }

  void install(httplib::Server& server) {
    server.set_payload_max_length(kMaxRequestBytes);
    server.Post(
        ".*", [this](const httplib::Request& request, httplib::Response& response) { handlePost(request, response); });
    const auto refuse = [this](const httplib::Request& request, httplib::Response& response) {
      record(request);
      // Like the real service's server, the credentials are checked before
      // the method: a GET with wrong ones gets 401, with right ones 405.
      if (refuseCredentials(request, response)) return;
      response.set_header("Allow", "POST");
      reply(request, response, 405, "only POST is served", "text/plain");
    };
    server.Get(".*", refuse);
    server.Put(".*", refuse);
    server.Delete(".*", refuse);
    server.Patch(".*", refuse);
    server.Options(".*", refuse);
  }

  // Wakes every answer that is waiting out --delay.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
  }

 private:
  void handlePost(const httplib::Request& request, httplib::Response& response) {
    record(request);
    const std::string mediaType = lowercase(
        trim(request.get_header_value("Content-Type").substr(0, request.get_header_value("Content-Type").find(';'))));
    if (mediaType != "application/soap+xml") {
      reply(request, response, 415,
            "Content-Type must be application/soap+xml, not '" + request.get_header_value("Content-Type") + "'",
            "text/plain");
      return;
    }
    if (refuseCredentials(request, response)) return;
    OrderSummary order;
    try {
      order = checkSalesRequest(request.body);
      // The contract's schema judges what the own check lets through; the
      // own check goes first for its more specific messages.
      schema_.check(request.body);
    } catch (const RequestError& e) {
      response.status = 500;
      response.set_content(soapFault(e.what()), kSoapContentType);
      log(request, response.status, std::string("Fault: ") + e.what());
      return;
    }
    if (options_.mix) {
      answerMixed(request, response, order);
      return;
    }
    // Booked before the wait, as a cash register that is slow to answer
    // has already booked; an answer given with --body is not known to
    // accept.
    if (!options_.bodyFile && options_.rect == 0 && (options_.status == 200 || options_.status == 201)) book(order);
    waitDelay();
    response.status = options_.status;
    const std::string what =
        "Dwaufragid=" + order.dwaufragid + " Dwbelegnr=" + order.dwbelegnr + " total=" + order.total + " -> ";
    if (options_.bodyFile) {
      response.set_content(body_, kSoapContentType);
      log(request, response.status, what + "body of " + *options_.bodyFile);
    } else if (options_.status >= 400) {
      // A real service answers a failure status with a fault, the client's
      // (Sender) for 4xx and its own (Receiver) for 5xx.
      const std::string reason = "simulated status " + std::to_string(options_.status);
      response.set_content(soapFault(reason, options_.status < 500), kSoapContentType);
      log(request, response.status, what + "Fault: " + reason);
    } else {
      response.set_content(salesResponse(options_.prefix, options_.rect, options_.rectmsg), kSoapContentType);
      log(request, response.status,
          what + "Rect=" + std::to_string(options_.rect) + " Rectmsg=\"" + options_.rectmsg + "\"");
    }
  }

  enum class MixedAnswer { Accepted, Refused, Failed, Silent };

  MixedAnswer pickAnswer(const std::string& dwbelegnr) const {
    const AnswerMix& mix = *options_.mix;
    const long long number = std::atoll(dwbelegnr.c_str());
    const long long cycle = mix.accepted + mix.refused + mix.failed + mix.silent;
    long long slot = number % cycle;
    if (slot < 0) slot += cycle;
    if (slot < mix.accepted) return MixedAnswer::Accepted;
    if (slot < mix.accepted + mix.refused) return MixedAnswer::Refused;
    if (slot < mix.accepted + mix.refused + mix.failed) return MixedAnswer::Failed;
    return MixedAnswer::Silent;
  }

  void answerMixed(const httplib::Request& request, httplib::Response& response, const OrderSummary& order) {
    const std::string what = "Dwaufragid=" + order.dwaufragid + " Dwbelegnr=" + order.dwbelegnr + " -> ";
    int rect = 0;
    switch (pickAnswer(order.dwbelegnr)) {
      case MixedAnswer::Failed:
        response.status = 500;
        response.set_content(soapFault("simulated failure of the cash register", false), kSoapContentType);
        log(request, response.status, what + "simulated failure");
        return;
      case MixedAnswer::Silent:
        // Booked at once; the connector has given up by the time this
        // answer is written.
        book(order);
        wait(kSilentSeconds);
        response.status = 200;
        response.set_content(salesResponse(options_.prefix, 0, options_.rectmsg), kSoapContentType);
        log(request, response.status, what + "silent for " + std::to_string(static_cast<int>(kSilentSeconds)) + " s");
        return;
      case MixedAnswer::Refused:
        rect = kMixRefusedRect;
        break;
      case MixedAnswer::Accepted:
        book(order);
        break;
    }
    response.status = 200;
    response.set_content(salesResponse(options_.prefix, rect, options_.rectmsg), kSoapContentType);
    log(request, response.status, what + "Rect=" + std::to_string(rect));
  }

  // Answers 401 and returns true unless the request carries the expected
  // credentials (or none are expected).
  bool refuseCredentials(const httplib::Request& request, httplib::Response& response) {
    if (expectedAuthorization_.empty() || authorized(request)) return false;
    response.set_header("WWW-Authenticate", "Basic realm=\"SAP Kasse\"");
    reply(request, response, 401, "wrong or missing credentials", "text/plain");
    return true;
  }

  bool authorized(const httplib::Request& request) const {
    const std::string given = trim(request.get_header_value("Authorization"));
    const std::size_t space = given.find(' ');
    if (space == std::string::npos) return false;
    return lowercase(given.substr(0, space)) + " " + trim(given.substr(space)) == expectedAuthorization_;
  }

  void reply(const httplib::Request& request, httplib::Response& response, int status, const std::string& reason,
             const char* contentType) {
    response.status = status;
    response.set_content(reason + "\n", contentType);
    log(request, status, reason);
  }

  void book(const OrderSummary& order) {
    if (ledger_) ledger_->book(order);
  }

  void waitDelay() { wait(options_.delaySeconds); }

  void wait(double seconds) {
    if (seconds <= 0.0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopping_; });
  }

  // The request as it arrived, for tests and demos to check what the
  // connector sends; a record is shared more widely than the simulator, so
  // credentials keep only their scheme ("Basic ***").
  void record(const httplib::Request& request) {
    if (!options_.recordDir) return;
    recordRequestFiles(*options_.recordDir, recordStem(++requestCount_), request);
  }

  void log(const httplib::Request& request, int status, const std::string& detail) {
    std::lock_guard<std::mutex> lock(logMutex_);
    std::cout << logLinePrefix(request) << status << ' ' << detail << std::endl;
  }

  const SimOptions options_;
  const RequestSchema schema_{embeddedKasseSchema()};
  std::string expectedAuthorization_;
  std::string body_;  // of --body
  std::unique_ptr<Ledger> ledger_;
  std::atomic<unsigned long> requestCount_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::mutex logMutex_;
};

// The record folder, made if need be.
void makeRecordDir(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw StartError("cannot make the record folder '" + dir + "': " + error.message());
}

int run(const SimOptions& options) {
  if (options.recordDir) makeRecordDir(*options.recordDir);
  if (options.relayCaFile) checkReadableFile("CA file", *options.relayCaFile);

  // SIGINT and SIGTERM are taken by sigwait on the main thread; blocking
  // them before any other thread exists keeps them away from the server's.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  std::unique_ptr<httplib::Server> server = makeServer(options);
  // Either a simulated cash register or a relay to a real one answers.
  std::unique_ptr<Simulator> simulator;
  std::unique_ptr<Relay> relay;
  if (options.relayUrl) {
    relay = std::make_unique<Relay>(*options.relayUrl, options.relayCaFile.value_or(""), *options.recordDir);
    relay->install(*server);
  } else {
    simulator = std::make_unique<Simulator>(options);
    simulator->install(*server);
  }
  const int port = bindServer(*server, options.port);
  std::cout << port << std::endl;
  // A client of the HTTPS server must use the name the certificate is for.
  const std::string host = options.certFile ? certificateHost(*options.certFile) : "127.0.0.1";
  std::cerr << "kasse-sim: serving " << (options.certFile ? "https" : "http") << "://" << host << ":" << port << "/";
  if (relay) std::cerr << " as a relay to " << *options.relayUrl;
  std::cerr << " (stop with Ctrl+C)" << std::endl;

  std::atomic<bool> ended{false};
  std::thread serving([&server, &ended] {
    server->listen_after_bind();
    ended = true;
  });
  // cpp-httplib's stop() does nothing before the server runs: a signal that
  // came that early would leave the serving thread listening for ever.
  while (!server->is_running() && !ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  int signal = 0;
  sigwait(&stopSignals, &signal);
  if (relay) relay->stop();
  if (simulator) simulator->stop();
  server->stop();
  serving.join();
  std::cerr << "kasse-sim: stopped" << std::endl;
  return 0;
}

}  // namespace

}  // namespace qel::sim

int main(int argc, char* argv[]) {
  try {
    const std::optional<qel::sim::SimOptions> options = qel::sim::parseOptions(argc, argv, std::cout);
    return options ? qel::sim::run(*options) : 0;
  } catch (const qel::sim::UsageError& e) {
    std::cerr << "kasse-sim: " << e.what() << "\nRun with --help for more information.\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kasse-sim: " << e.what() << "\n";
    return 1;
  }
}
