// A url as it may be shown (trace, qelhost's output, messages): without the
// user name and password that it may carry.
#pragma once

#include <string>

namespace qel {

// `utf8Url` without the user information (`user:password@`) of its
// authority, as libcurl reads the url for a transfer; the rest of the text
// stays as written. A url that libcurl cannot take apart is sent nowhere,
// and where its user information would end is unknown: it loses everything
// up to its last "@".
std::string withoutUserInfo(const std::string& utf8Url);
std::wstring withoutUserInfo(const std::wstring& url);

}  // namespace qel
