// ConnectionCheck: one libcurl connection in connect-only mode with the
// transfer's own time-outs and TLS verification; the failing libcurl result
// tells which stage went wrong.
#include "transport/connection_check.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <string>

#include "base/vub_exception.h"
#include "platform/platform.h"
#include "transport/connection_options.h"
#include "transport/curl_easy.h"
#include "transport/http_client.h"

namespace qel {

namespace {

using namespace curl;

const wchar_t kConnectOnlyFailed[] = L"Could not set connect-only mode";
const wchar_t kCertInfoFailed[] = L"Could not ask for the certificate";
const wchar_t kAddressSeparator[] = L": ";
const wchar_t kPortSeparator[] = L" port ";
const wchar_t kVerifiedAgainstFile[] = L"certificate verified against ";
const wchar_t kVerifiedAgainstStore[] = L"certificate verified against the system's certificate store";
const wchar_t kNotVerifiedUnderWine[] =
    L"handshake completed, certificate NOT verified: Wine's Schannel accepts any certificate without caFile";

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
  UrlHandle parsed(curl_url());
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
      if (!caFile.empty()) return kVerifiedAgainstFile + caFile;
      return platform::runsUnderWine() ? kNotVerifiedUnderWine : kVerifiedAgainstStore;
  }
  return std::wstring();
}

// The DER bytes of the first PEM block in `pem`: its base64 text between
// the BEGIN and END lines, decoded; line ends and padding are skipped.
std::string pemBody(const std::string& pem) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  static const std::string kDashes = "-----";
  const std::size_t beginLine = pem.find(kDashes + "BEGIN");
  if (beginLine == std::string::npos) return {};
  const std::size_t beginLineEnd = pem.find(kDashes, beginLine + kDashes.size());
  const std::size_t endLine = pem.find(kDashes + "END", beginLine);
  if (beginLineEnd == std::string::npos || endLine == std::string::npos || endLine < beginLineEnd) return {};
  const std::size_t first = beginLineEnd + kDashes.size();
  std::string der;
  unsigned bits = 0;
  int count = 0;
  for (char c : pem.substr(first, endLine - first)) {
    const std::size_t value = kAlphabet.find(c);
    if (value == std::string::npos) continue;
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      der += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return der;
}

// Whether the server's certificate, as libcurl hands it over (its "Cert"
// entry, PEM, from either TLS back end), carries the subjectAltName
// extension, whose identifier 2.5.29.17 is DER 06 03 55 1D 11. Unknown
// (true) when libcurl gives no certificate.
bool hasSubjectAltName(CURL* handle) {
  curl_certinfo* info = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr || info->num_of_certs < 1) {
    return true;
  }
  static const char kCertEntry[] = "Cert:";
  static const std::string kAltNameOid("\x06\x03\x55\x1D\x11", 5);
  for (curl_slist* entry = info->certinfo[0]; entry != nullptr; entry = entry->next) {
    const std::string text = entry->data;
    if (text.rfind(kCertEntry, 0) == 0) return pemBody(text).find(kAltNameOid) != std::string::npos;
  }
  return true;
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
      stageResult.withoutSubjectAltName = stage == ConnectionStage::Handshake && !hasSubjectAltName(handle);
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
  // The server's certificate, to see whether Windows would accept its names.
  setOption(handle.get(), CURLOPT_CERTINFO, 1L, kCertInfoFailed);
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
