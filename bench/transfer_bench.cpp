// Transfer overhead: one complete hrECExecute (dialogs answered at once,
// configuration and Sales.ini read, rendering, POST, evaluation, result
// record and log) against a bare libcurl POST of the very same envelope
// bytes to the same server, each with a fresh easy handle. The two are
// interleaved in blocks, so that the machine's drift hits both alike.
//   transfer_bench --url URL --record-file FILE [--cafile PEM] [--library DLL]
//                  [--runs N] [--blocks N] [--per-block N] [--label TEXT]
//                  [--only small|large] [--placement TEXT] [--trace 0|1]
// The server (bench_server) must record the request after a POST to
// /bench/arm into the file named by --record-file. One JSON line per order
// size goes to standard output.
#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_orders.h"
#include "boxoffice/host_library.h"
#include "boxoffice/instant_answers.h"
#include "boxoffice/payment_records.h"

namespace {

using Clock = std::chrono::steady_clock;
using qel::bench::SaleShape;

struct Options {
  std::string url;
  std::string caFile;
  // The build names the library: the native one it made, or the DLL by name.
  std::string library = QEL_DEFAULT_LIBRARY;
  std::string recordFile;
  std::string label = "native";
  std::string only;                    // "small" or "large": one order size alone, for profiling
  std::string placement = "unpinned";  // where the client and the server ran, for the report
  int runs = 5;
  int blocks = 20;
  int perBlock = 5;
  // "1": the library writes its transaction trace; otherwise the
  // configuration has no diagnostics at all.
  std::string trace = "0";
};

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--url") options.url = value;
    else if (name == "--cafile") options.caFile = value;
    else if (name == "--library") options.library = value;
    else if (name == "--record-file") options.recordFile = value;
    else if (name == "--label") options.label = value;
    else if (name == "--only") options.only = value;
    else if (name == "--placement") options.placement = value;
    else if (name == "--trace") options.trace = value;
    else if (name == "--runs") options.runs = std::atoi(value.c_str());
    else if (name == "--blocks") options.blocks = std::atoi(value.c_str());
    else if (name == "--per-block") options.perBlock = std::atoi(value.c_str());
    else throw std::runtime_error("unknown option " + name);
  }
  if (options.url.empty() || options.recordFile.empty())
    throw std::runtime_error("--url and --record-file are required");
  return options;
}

void writeFile(const std::string& name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The working folder as the host leaves it for the library.
void prepareWorkingFolder(const Options& options) {
  std::string config = "<endpoint><username>kasse</username><password>geheim</password><url>" + options.url + "</url>";
  if (!options.caFile.empty()) config += "<caFile>" + options.caFile + "</caFile>";
  config += "</endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>0</oldkasseprefix></compatibility>";
  if (options.trace == "1") config += "<diagnostics><trace>1</trace></diagnostics>";
  writeFile("QelConnect.xml", config);
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=12\r\n");
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* sink) {
  static_cast<std::string*>(sink)->append(data, size * count);
  return size * count;
}

// The bare POST: what any program needs to send these bytes with libcurl.
class BarePost {
 public:
  BarePost(const Options& options, std::string body) : options_(options), body_(std::move(body)) {
    headers_ = curl_slist_append(nullptr, "Content-Type: application/soap+xml");
  }
  ~BarePost() { curl_slist_free_all(headers_); }
  BarePost(const BarePost&) = delete;
  BarePost& operator=(const BarePost&) = delete;

  long post(const std::string& url, const std::string& body) {
    CURL* handle = curl_easy_init();
    std::string response;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_USERNAME, "kasse");
    curl_easy_setopt(handle, CURLOPT_PASSWORD, "geheim");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
    if (!options_.caFile.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, options_.caFile.c_str());
    long status = 0;
    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    else std::fprintf(stderr, "bare POST failed: %s\n", curl_easy_strerror(result));
    curl_easy_cleanup(handle);
    return status;
  }
  long post() { return post(options_.url, body_); }

 private:
  const Options& options_;
  std::string body_;
  curl_slist* headers_ = nullptr;
};

// The bare side holds libcurl's global initialisation only while it posts.
// The native library shares the process's libcurl; a reference held all the
// time would spare the library the clean-up and re-initialisation that every
// one of its transfers goes through.
class CurlSession {
 public:
  CurlSession() {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) throw std::runtime_error("curl_global_init failed");
  }
  ~CurlSession() { curl_global_cleanup(); }
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

template <typename Action>
double timeMicroseconds(Action&& action) {
  const Clock::time_point start = Clock::now();
  action();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct RunResult {
  double library;
  double bare;
};

class Scenario {
 public:
  Scenario(const Options& options, const qel::boxoffice::HostLibrary& library, const char* name, const SaleShape& shape)
      : options_(options), library_(library), name_(name), shape_(shape), sale_(qel::bench::makeSale(shape)) {
    paymentType_.fill(0);
    paymentType_[4] = 31;
  }

  void measure() {
    const std::string envelope = captureEnvelope();
    BarePost bare(options_, envelope);
    std::vector<RunResult> results;
    for (int run = 0; run < options_.runs; ++run) {
      library_.init()(nullptr, nullptr);  // empties the log, as each working day begins
      std::vector<double> library;
      std::vector<double> plain;
      for (int block = 0; block < options_.blocks; ++block) {
        const bool libraryFirst = block % 2 == 0;
        for (int side = 0; side < 2; ++side) {
          if ((side == 0) == libraryFirst) {
            for (int i = 0; i < options_.perBlock; ++i) library.push_back(timeMicroseconds([&] { sell(); }));
          } else {
            const CurlSession session;
            for (int i = 0; i < options_.perBlock; ++i) {
              plain.push_back(timeMicroseconds([&] { check(bare.post() == 200, "bare POST"); }));
            }
          }
        }
      }
      results.push_back({median(library), median(plain)});
    }
    report(envelope.size(), results);
  }

 private:
  void sell() {
    result_.fill(0);
    check(library_.execute()(nullptr, nullptr, sale_.record(), paymentType_.data(), nullptr, result_.data()) == 0,
          "hrECExecute");
  }

  static void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + " failed");
  }

  void armRecorder() {
    const CurlSession session;
    BarePost arm(options_, "arm");
    const std::string base = options_.url.substr(0, options_.url.find('/', options_.url.find("//") + 2));
    check(arm.post(base + "/bench/arm", "arm") == 200, "arming the server's recorder");
  }

  // The envelope exactly as the library sends it, recorded by the server.
  std::string captureEnvelope() {
    armRecorder();
    sell();
    const std::string envelope = readFile(options_.recordFile);
    check(!envelope.empty(), "recording the envelope");
    return envelope;
  }

  void report(std::size_t envelopeBytes, const std::vector<RunResult>& results) const {
    std::vector<double> library;
    std::vector<double> plain;
    std::vector<double> ratios;
    std::string runs;
    for (const RunResult& r : results) {
      library.push_back(r.library);
      plain.push_back(r.bare);
      ratios.push_back(r.library / r.bare);
      char run[96];
      std::snprintf(run, sizeof run, "%s[%.1f,%.1f]", runs.empty() ? "" : ",", r.library, r.bare);
      runs += run;
    }
    const bool https = options_.url.rfind("https:", 0) == 0;
    std::printf(
        "{\"target\":\"%s\",\"placement\":\"%s\",\"order\":\"%s\",\"positions\":%d,\"tickets\":%d,\"scheme\":\"%s\","
        "\"envelope_bytes\":%zu,\"samples_per_run\":%d,\"library_us\":%.1f,\"bare_us\":%.1f,"
        "\"ratio\":%.3f,\"ratio_min\":%.3f,\"ratio_max\":%.3f,\"runs\":[%s]}\n",
        options_.label.c_str(), options_.placement.c_str(), name_, shape_.positions,
        shape_.positions * shape_.ticketsPerPosition, https ? "https" : "http", envelopeBytes,
        options_.blocks * options_.perBlock, median(library), median(plain), median(ratios),
        *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()), runs.c_str());
    std::fflush(stdout);
  }

  const Options& options_;
  const qel::boxoffice::HostLibrary& library_;
  const char* name_;
  SaleShape shape_;
  qel::boxoffice::HostSale sale_;
  std::array<std::uint8_t, 8> paymentType_{};
  std::array<std::uint8_t, qel::boxoffice::kResultRecordSize> result_{};
};

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options options = parse(argc, argv);
    prepareWorkingFolder(options);
    const qel::boxoffice::HostLibrary library(options.library);
    const qel::boxoffice::InstantAnswers answers(library);
    if (options.only != "large") Scenario(options, library, "small", SaleShape{1, 2, false, 0}).measure();
    if (options.only != "small") Scenario(options, library, "large", SaleShape{100, 10, true, 1}).measure();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "transfer_bench: %s\n", e.what());
    return 1;
  }
}
