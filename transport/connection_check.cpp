// ConnectionCheck: one libcurl connection in connect-only mode with the
// transfer's own time-outs and TLS verification; the failing libcurl result
// tells which stage went wrong.
#include "transport/connection_check.h"

#include <curl/curl.h>

#include <array>
#include <memory>

#include "base/vub_exception.h"
#include "platform/platform.h"
#include "transport/connection_options.h"
#include "transport/curl_easy.h"
#include "transport/http_client.h"

namespace qel {

namespace {

using namespace curl;

const wchar_t kConnectOnlyFailed[] = L"Could not set connect-only mode";
const wchar_t kAddressSeparator[] = L": ";
const wchar_t kPortSeparator[] = L" port ";
const wchar_t kVerifiedAgainstFile[] = L"certificate verified against ";
const wchar_t kVerifiedAgainstStore[] = L"certificate verified against the system's certificate store";

struct UrlCleanup {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
struct TextFree {
  void operator()(char* text) const noexcept { curl_free(text); }
};
using CurlText = std::unique_ptr<char, TextFree>;

// The host and scheme as libcurl will read them from the url, guessing the
// scheme as a transfer does when the url names none. A url that libcurl
// cannot read leaves both empty; the connection attempt then fails and says
// why.
struct Target {
  std::string host;
  std::string scheme;

  bool secure() const { return scheme == "https"; }
  // Known to run without TLS (http, or a scheme the cash register never has).
  bool plain() const { return !scheme.empty() && !secure(); }
};

Target readTarget(const std::string& url) {
  Target target;
  std::unique_ptr<CURLU, UrlCleanup> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_GUESS_SCHEME) != CURLUE_OK) {
    return target;
  }
  char* raw = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_HOST, &raw, 0) == CURLUE_OK) target.host = CurlText(raw).get();
  raw = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &raw, 0) == CURLUE_OK) {
    target.scheme = CurlText(raw).get();
  }
  return target;
}

// Which stage a failed connect-only transfer ended in. Results that belong
// to one stage name it; a time-out or a dropped connection ended in the
// first stage that libcurl had not finished yet.
ConnectionStage failedStage(CURLcode result, CURL* handle, bool secure) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return ConnectionStage::Resolve;
    case CURLE_COULDNT_CONNECT:
      return ConnectionStage::Connect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return secure ? ConnectionStage::Handshake : ConnectionStage::Connect;
    default:
      break;
  }
  curl_off_t resolved = 0;
  curl_off_t connected = 0;
  curl_easy_getinfo(handle, CURLINFO_NAMELOOKUP_TIME_T, &resolved);
  curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connected);
  if (resolved == 0) return ConnectionStage::Resolve;
  if (connected == 0 || !secure) return ConnectionStage::Connect;
  return ConnectionStage::Handshake;
}

std::wstring infoText(CURL* handle, CURLINFO info) {
  const char* text = nullptr;
  if (curl_easy_getinfo(handle, info, &text) != CURLE_OK || text == nullptr) return std::wstring();
  return platform::utf8ToWide(text);
}

long infoNumber(CURL* handle, CURLINFO info) {
  long value = 0;
  curl_easy_getinfo(handle, info, &value);
  return value;
}

// What a passed stage reached. libcurl knows the address only once it is
// connected, so a resolve stage followed by a failed connect names the host
// alone, as does a url that gives the address itself.
std::wstring passedDetail(ConnectionStage stage, CURL* handle, const Target& target, const std::wstring& caFile) {
  const std::wstring address = infoText(handle, CURLINFO_PRIMARY_IP);
  switch (stage) {
    case ConnectionStage::Resolve: {
      const std::wstring host = platform::utf8ToWide(target.host);
      return address.empty() || address == host ? host : host + kAddressSeparator + address;
    }
    case ConnectionStage::Connect:
      return address + kPortSeparator + std::to_wstring(infoNumber(handle, CURLINFO_PRIMARY_PORT));
    case ConnectionStage::Handshake:
      return caFile.empty() ? std::wstring(kVerifiedAgainstStore) : kVerifiedAgainstFile + caFile;
  }
  return std::wstring();
}

// One result per stage from the outcome of the connection attempt: the
// stages before a failed one passed, the ones after it were not reached.
std::vector<StageResult> describeStages(CURLcode result, CURL* handle, const Target& target, const std::wstring& caFile,
                                        const char* errorBuffer) {
  const bool failed = result != CURLE_OK;
  const ConnectionStage failedAt = failed ? failedStage(result, handle, target.secure()) : ConnectionStage::Resolve;
  std::vector<StageResult> results;
  for (ConnectionStage stage : {ConnectionStage::Resolve, ConnectionStage::Connect, ConnectionStage::Handshake}) {
    StageResult stageResult{stage, StageOutcome::Passed, std::wstring(), 0};
    if (stage == ConnectionStage::Handshake && target.plain()) {
      stageResult.outcome = StageOutcome::NotNeeded;
    } else if (failed && stage == failedAt) {
      const VubException failure = transferFailure(result, errorBuffer);
      stageResult.outcome = StageOutcome::Failed;
      stageResult.detail = failure.message();
      stageResult.code = failure.code();
    } else if (failed && stage > failedAt) {
      stageResult.outcome = StageOutcome::NotReached;
    } else {
      stageResult.detail = passedDetail(stage, handle, target, caFile);
    }
    results.push_back(stageResult);
  }
  return results;
}

}  // namespace

ConnectionCheck::ConnectionCheck(const ConnectorConfig& config) : url_(config.url), caFile_(config.caFile) {}

std::vector<StageResult> ConnectionCheck::run() const {
  HttpClient::globalInit();
  const platform::BrokenPipeShield shield;
  // libcurl keeps pointers to the url and the error buffer, not copies; both
  // live until the handle is gone.
  const std::string url = platform::wideToUtf8(url_);
  std::array<char, CURL_ERROR_SIZE> errorBuffer{};
  EasyHandle handle(curl_easy_init());
  if (!handle) throw VubException(kEasyInitFailed);

  setConnectionRules(handle.get());
  setTlsVerification(handle.get(), platform::wideToUtf8(caFile_));
  setOption(handle.get(), CURLOPT_URL, url.c_str(), kUrlFailed);
  setOption(handle.get(), CURLOPT_ERRORBUFFER, errorBuffer.data(), kErrorBufferFailed);
  // libcurl stops once the connection stands, for HTTPS after the
  // handshake, and writes no request.
  setOption(handle.get(), CURLOPT_CONNECT_ONLY, 1L, kConnectOnlyFailed);
  const CURLcode result = curl_easy_perform(handle.get());
  return describeStages(result, handle.get(), readTarget(url), caFile_, errorBuffer.data());
}

bool ConnectionCheck::allPassed(const std::vector<StageResult>& results) {
  for (const StageResult& result : results) {
    if (result.outcome == StageOutcome::Failed || result.outcome == StageOutcome::NotReached) return false;
  }
  return true;
}

}  // namespace qel
