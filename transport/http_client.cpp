// HttpClient: one HTTP(S) POST over libcurl's easy interface, with verified
// TLS, short time-outs, a bounded response and one message per failing step.
#include "transport/http_client.h"

#include <curl/curl.h>

#include <atomic>
#include <cstring>
#include <new>

#include "base/int_format.h"
#include "base/vub_exception.h"
#include "platform/platform.h"
#include "transport/connection_options.h"
#include "transport/curl_easy.h"
#include "transport/transfer_loop.h"
#include "transport/transfer_report.h"

namespace qel {

namespace {

using namespace curl;

static_assert(CURL_ERROR_SIZE == 256, "HttpClient's error buffer must have libcurl's size");

const wchar_t kGlobalInitFailed[] = L"curl_global_init error";
const wchar_t kNotInitialized[] = L"Curl is not initialized. Call globalInit() first.";
const wchar_t kWriteDataFailed[] = L"Failed to set response write buffer";
const wchar_t kStatusUnavailable[] = L"Could not get HTTP status code";
const wchar_t kUnexpectedStatus[] = L"Unexpected HTTP Status code ";
const wchar_t kResponseTooLarge[] = L"Response of SAP Kasse exceeds 8 MiB";
const wchar_t kLeftOutPrefix[] = L"\r\n[";
const wchar_t kLeftOutSuffix[] = L" more bytes not shown]";
const wchar_t kLeftOutOneSuffix[] = L" more byte not shown]";

// Set once by globalInit and never cleared; it records that the first
// initialisation worked. Atomic, since hosts may sell from several threads.
std::atomic<bool> curlInitialized{false};

// Each post holds a count of libcurl's global initialisation and gives it
// back; the count of globalInit keeps libcurl initialised between posts, so
// Winsock and the security DLL are not started anew for every transfer.
class GlobalReference {
 public:
  GlobalReference() : held_(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {}
  ~GlobalReference() { release(); }
  GlobalReference(const GlobalReference&) = delete;
  GlobalReference& operator=(const GlobalReference&) = delete;

  void release() noexcept {
    if (held_) curl_global_cleanup();
    held_ = false;
  }

 private:
  bool held_;
};

}  // namespace

std::wstring decodeResponse(std::string_view bytes) {
  return platform::isValidUtf8(bytes) ? platform::utf8ToWide(bytes) : platform::ansiToWide(bytes);
}

std::wstring responseForMessage(std::string_view bytes) { return shownBody(bytes, kShownResponseBytes); }

std::wstring shownBody(std::string_view bytes, std::size_t limit) {
  if (bytes.size() <= limit) return decodeResponse(bytes);
  // The whole body decides the decoding, as for a short one, so the shown
  // part is the start of what the whole would have shown.
  const bool utf8 = platform::isValidUtf8(bytes);
  std::size_t cut = limit;
  if (utf8) {
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
  }
  const std::string_view shown = bytes.substr(0, cut);
  std::wstring text = utf8 ? platform::utf8ToWide(shown) : platform::ansiToWide(shown);
  const std::size_t leftOut = bytes.size() - cut;
  text += kLeftOutPrefix;
  text += std::to_wstring(leftOut);
  text += leftOut == 1 ? kLeftOutOneSuffix : kLeftOutSuffix;
  return text;
}

void HttpClient::SlistFree::operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }

HttpClient::HttpClient() = default;
HttpClient::~HttpClient() = default;

void HttpClient::globalInit() {
  if (curlInitialized.load(std::memory_order_acquire)) return;
  // Two threads may both get here first; libcurl counts its initialisations
  // and takes them safely side by side, and the extra count is never given
  // back, like the first.
  const CURLcode result = curl_global_init(CURL_GLOBAL_ALL);
  if (result != CURLE_OK) throw VubException(kGlobalInitFailed, static_cast<std::int32_t>(result));
  curlInitialized.store(true, std::memory_order_release);
  // A resolver thread left by a timed-out transfer may outlive the call;
  // unmapping the module under it would take the host down, so the module
  // stays mapped for the rest of the process.
  platform::pinModule();
}

void HttpClient::setCredentials(const std::wstring& username, const std::wstring& password) {
  setCredentials(username, platform::secretUtf8(password));
}

void HttpClient::setCredentials(const std::wstring& username, platform::SecretBytes utf8Password) {
  username_ = platform::wideToUtf8(username);
  password_ = std::move(utf8Password);
}

void HttpClient::addHeader(const std::wstring& name, const std::wstring& value) {
  std::wstring wide;
  wide.reserve(name.size() + 2 + value.size());
  wide.append(name).append(L": ").append(value);
  const std::string line = platform::wideToUtf8(wide);
  curl_slist* appended = curl_slist_append(headers_.get(), line.c_str());
  // libcurl fails only when out of memory, leaving the list as it was.
  if (appended == nullptr) throw std::bad_alloc();
  // The list's head stays the same once it exists; ownership moves over.
  headers_.release();
  headers_.reset(appended);
}

void HttpClient::setCaFile(const std::wstring& path) { caFile_ = platform::wideToUtf8(path); }

std::size_t HttpClient::writeResponse(char* data, std::size_t size, std::size_t count, void* client) {
  auto* self = static_cast<HttpClient*>(client);
  const std::size_t bytes = size * count;
  if (bytes > kMaxResponseBytes - self->response_.size()) {
    // Returning less than was offered makes libcurl abort the transfer with
    // CURLE_WRITE_ERROR, which postForBytes turns into the size message.
    self->responseTooLarge_ = true;
    return 0;
  }
  self->response_.append(data, bytes);
  return bytes;
}

std::string HttpClient::postForBytes(const std::wstring& url, const char* utf8Body, TransferReport* report) {
  if (!curlInitialized.load(std::memory_order_acquire)) throw VubException(kNotInitialized);
  // Declared first, so that it also covers the connection's shutdown.
  const platform::BrokenPipeShield shield;
  GlobalReference reference;
  EasyHandle handle(curl_easy_init());
  if (!handle) throw VubException(kEasyInitFailed);
  // libcurl keeps pointers to these texts, not copies; they live until
  // postForBytes returns.
  const std::string utf8Url = platform::wideToUtf8(url);

  setConnectionRules(handle.get());
  setTlsVerification(handle.get(), caFile_);
  setTarget(handle.get(), utf8Url);
  captureResponse(handle.get());
  curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers_.get());
  curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, utf8Body);

  perform(handle.get(), utf8Body, report);
  long status = 0;
  if (curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
    throw VubException(kStatusUnavailable);
  }
  if (!isAnswerStatus(status)) {
    throw VubException(kUnexpectedStatus + formatInt2(static_cast<std::int32_t>(status)) +
                       responseForMessage(response_));
  }
  handle.reset();
  reference.release();  // curl_global_cleanup
  return std::move(response_);
}

void HttpClient::setTarget(void* handle, const std::string& utf8Url) {
  setOption(handle, CURLOPT_URL, utf8Url.c_str(), kUrlFailed);
  if (username_ && password_) {
    setOption(handle, CURLOPT_USERNAME, username_->c_str(), kUsernameFailed);
    setOption(handle, CURLOPT_PASSWORD, password_->c_str(), kPasswordFailed);
  }
}

void HttpClient::captureResponse(void* handle) {
  response_.clear();
  responseTooLarge_ = false;
  setOption(handle, CURLOPT_WRITEFUNCTION, &HttpClient::writeResponse, kWriteFunctionFailed);
  setOption(handle, CURLOPT_WRITEDATA, static_cast<void*>(this), kWriteDataFailed);
  errorBuffer_[0] = '\0';
  setOption(handle, CURLOPT_ERRORBUFFER, errorBuffer_.data(), kErrorBufferFailed);
}

void HttpClient::perform(void* handle, const char* utf8Body, TransferReport* report) {
  const CURLcode result = performInTurns(handle);
  if (report != nullptr) recordTransfer(handle, result, std::strlen(utf8Body), response_, *report);
  if (result == CURLE_WRITE_ERROR && responseTooLarge_) throw VubException(kResponseTooLarge);
  if (result != CURLE_OK) throw transferFailure(result, errorBuffer_.data());
}

}  // namespace qel
