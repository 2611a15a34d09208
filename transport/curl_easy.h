// What the transport's users of libcurl's easy interface share: the handle's
// owner, the option step that names its failure, and the messages of the
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
