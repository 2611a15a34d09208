// CredentialCheck: one GET of the cash register's url with the credentials of
// a sale, judged only on whether the server refused them.
#include "transport/credential_check.h"

#include <curl/curl.h>

#include <array>

#include "config/protected_password.h"
#include "platform/platform.h"
#include "transport/connection_options.h"
#include "transport/curl_easy.h"
#include "transport/http_client.h"

namespace qel {

namespace {

using namespace curl;

const wchar_t kGetFailed[] = L"Could not switch to GET";

// The body says nothing about the credentials; it is dropped as it comes.
std::size_t dropBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

CredentialCheck::CredentialCheck(const ConnectorConfig& config) : config_(config) {}

CredentialResult CredentialCheck::run() const {
  HttpClient::globalInit();
  const platform::BrokenPipeShield shield;
  // libcurl keeps pointers to these texts, not copies; they live until the
  // handle is gone.
  const std::string url = platform::wideToUtf8(config_.url);
  const std::string username = platform::wideToUtf8(config_.username);
  // The password a sale sends, wiped when the check is done.
  const platform::SecretBytes password = passwordToSend(config_);
  std::array<char, CURL_ERROR_SIZE> errorBuffer{};
  EasyHandle handle(curl_easy_init());
  if (!handle) throw VubException(kEasyInitFailed);

  setConnectionRules(handle.get());
  setTlsVerification(handle.get(), platform::wideToUtf8(config_.caFile));
  setOption(handle.get(), CURLOPT_URL, url.c_str(), kUrlFailed);
  setOption(handle.get(), CURLOPT_HTTPGET, 1L, kGetFailed);
  // As HttpClient hands them over: always, empty texts included.
  setOption(handle.get(), CURLOPT_USERNAME, username.c_str(), kUsernameFailed);
  setOption(handle.get(), CURLOPT_PASSWORD, password.c_str(), kPasswordFailed);
  setOption(handle.get(), CURLOPT_WRITEFUNCTION, &dropBody, kWriteFunctionFailed);
  setOption(handle.get(), CURLOPT_ERRORBUFFER, errorBuffer.data(), kErrorBufferFailed);

  CredentialResult result;
  const CURLcode code = curl_easy_perform(handle.get());
  if (code != CURLE_OK) {
    result.failure = transferFailure(code, errorBuffer.data()).message();
    return result;
  }
  result.answered = true;
  curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &result.status);
  return result;
}

}  // namespace qel
