// UpstreamClient: the relay's request to the real cash register over libcurl.
#include "tools/kasse-sim/upstream_client.h"

#include <curl/curl.h>

#include <strings.h>
#include <chrono>
#include <memory>
#include <new>
#include <stdexcept>

namespace qel::sim {

namespace {

// The connector itself gives up connecting after 3 seconds, so a cash
// register that cannot be reached within that is reported as such. The
// whole answer may take far longer than the connector's 6 seconds: a late
// answer is still recorded, which shows support how late it came.
const long kConnectTimeoutSeconds = 3;
const long kTimeoutSeconds = 30;
const std::size_t kMaxAnswerBytes = 16u * 1024u * 1024u;

const char kGlobalInitFailed[] = "cannot initialise libcurl";
const char kTooLarge[] = "the answer exceeds 16 MiB";
const char kStopping[] = "kasse-sim is stopping";

// libcurl adds these request headers of its own accord unless told not to;
// a request that came without them must leave without them.
const char* const kCurlDefaults[] = {"Accept", "Content-Type", "Expect"};

struct EasyCleanup {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct SlistFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

// What libcurl's callbacks fill during one transfer.
struct Transfer {
  UpstreamAnswer answer;
  bool tooLarge = false;
  const std::atomic<bool>* aborted = nullptr;
};

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// libcurl hands over the status line and every header line of each answer
// it reads; an interim answer (100 Continue) is followed by the real one,
// which starts afresh.
std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  std::string line(data, bytes);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.rfind("HTTP/", 0) == 0) {
    transfer->answer.statusLine = line;
    transfer->answer.headers.clear();
  } else if (const std::size_t colon = line.find(':'); colon != std::string::npos) {
    transfer->answer.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
  }
  return bytes;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (bytes > kMaxAnswerBytes - transfer->answer.body.size()) {
    transfer->tooLarge = true;
    return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
  }
  transfer->answer.body.append(data, bytes);
  return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->aborted->load() ? 1 : 0;
}

bool hasHeader(const HeaderList& headers, const char* name) {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name) == 0) return true;
  }
  return false;
}

// The header lines in libcurl's syntax: "Name;" sends a header with an empty
// value, "Name:" suppresses one that libcurl would add.
Slist headerLines(const HeaderList& headers) {
  Slist list;
  const auto append = [&list](const std::string& line) {
    curl_slist* appended = curl_slist_append(list.get(), line.c_str());
    if (appended == nullptr) throw std::bad_alloc();
    // The list's head stays the same once it exists.
    list.release();
    list.reset(appended);
  };
  for (const auto& [name, value] : headers) append(value.empty() ? name + ";" : name + ": " + value);
  for (const char* name : kCurlDefaults) {
    if (!hasHeader(headers, name)) append(std::string(name) + ":");
  }
  return list;
}

void setMethod(CURL* handle, const UpstreamRequest& request) {
  if (request.method == "GET") {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    return;
  }
  if (request.method == "HEAD") {
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    return;
  }
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
  if (request.method != "POST") curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
}

void setTls(CURL* handle, const std::string& caFile) {
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  if (caFile.empty()) return;
  // As with the connector's caFile, the named file is the only trust.
  curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
  curl_easy_setopt(handle, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
}

std::string failureText(CURLcode result, const char* errorBuffer, const Transfer& transfer) {
  if (transfer.tooLarge) return kTooLarge;
  if (result == CURLE_ABORTED_BY_CALLBACK) return kStopping;
  return std::string(curl_easy_strerror(result)) + ": " + errorBuffer;
}

}  // namespace

UpstreamClient::UpstreamClient(std::string url, std::string caFile) : url_(std::move(url)), caFile_(std::move(caFile)) {
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) throw std::runtime_error(kGlobalInitFailed);
}

UpstreamClient::~UpstreamClient() { curl_global_cleanup(); }

UpstreamAnswer UpstreamClient::send(const UpstreamRequest& request) const {
  const auto start = std::chrono::steady_clock::now();
  Transfer transfer;
  transfer.aborted = &aborted_;
  EasyHandle handle(curl_easy_init());
  if (!handle) throw std::bad_alloc();
  const Slist headers = headerLines(request.headers);
  char errorBuffer[CURL_ERROR_SIZE] = "";

  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  setMethod(h, request);
  setTls(h, caFile_);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, kTimeoutSeconds);
  // Time-outs must not raise signals in a program with several threads.
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeaderLine);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);

  const CURLcode result = curl_easy_perform(h);
  transfer.answer.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (result != CURLE_OK) {
    transfer.answer.failure = failureText(result, errorBuffer, transfer);
    return transfer.answer;
  }
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &transfer.answer.status);
  transfer.answer.delivered = true;
  return transfer.answer;
}

}  // namespace qel::sim
