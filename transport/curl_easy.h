// What the transport's users of libcurl's easy interface share: the owners
// of its handles and texts, the option step that names its failure, and the messages of the
// steps that a post and a connection check both take. Private to transport/.
#pragma once

#include <curl/curl.h>

#include <memory>

#include "base/vub_exception.h"

namespace qel::curl {

struct EasyCleanup {
  void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct UrlCleanup {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlCleanup>;

struct TextFree {
  void operator()(char* text) const noexcept { curl_free(text); }
};
using CurlText = std::unique_ptr<char, TextFree>;

// The flags with which a transfer reads CURLOPT_URL: a url without a scheme
// is taken as http (or as the scheme its host name suggests).
inline constexpr unsigned int kTransferUrlFlags = CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME;

inline constexpr wchar_t kEasyInitFailed[] = L"curl_easy_init() failed";
inline constexpr wchar_t kUrlFailed[] = L"Could not set url";
inline constexpr wchar_t kErrorBufferFailed[] = L"Failed to set error buffer";
inline constexpr wchar_t kUsernameFailed[] = L"Failed to set username";
inline constexpr wchar_t kPasswordFailed[] = L"Failed to set password";
inline constexpr wchar_t kWriteFunctionFailed[] = L"Failed to set response write callback";

// Sets one option; a refusal becomes the step's message.
template <typename Value>
void setOption(CURL* handle, CURLoption option, Value value, const wchar_t* message) {
  if (curl_easy_setopt(handle, option, value) != CURLE_OK) throw VubException(message);
}

}  // namespace qel::curl
