// Taking the user information out of a url with libcurl's URL API, so that
// what is shown is cut where a transfer would read the credentials.
#include "transport/shown_url.h"

#include <curl/curl.h>

#include "platform/platform.h"
#include "transport/curl_easy.h"

namespace qel {
namespace {

using namespace curl;

enum class UserInfo { None, Present, Unknown };

bool hasPart(CURLU* url, CURLUPart part) {
  char* raw = nullptr;
  const bool has = curl_url_get(url, part, &raw, 0) == CURLUE_OK;
  const CurlText owned(raw);
  return has;
}

UserInfo findUserInfo(const std::string& utf8Url) {
  const UrlHandle parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, utf8Url.c_str(), kTransferUrlFlags) != CURLUE_OK) {
    return UserInfo::Unknown;
  }
  return hasPart(parsed.get(), CURLUPART_USER) || hasPart(parsed.get(), CURLUPART_PASSWORD) ? UserInfo::Present
                                                                                            : UserInfo::None;
}

}  // namespace

std::string withoutUserInfo(const std::string& utf8Url) {
  const std::size_t firstAt = utf8Url.find('@');
  if (firstAt == std::string::npos) return utf8Url;
  switch (findUserInfo(utf8Url)) {
    case UserInfo::None:
      return utf8Url;
    case UserInfo::Unknown:
      return utf8Url.substr(utf8Url.rfind('@') + 1);
    case UserInfo::Present:
      break;
  }
  // libcurl ends the user information at the first "@" of the authority,
  // and nothing before the authority (a scheme and its slashes) holds one.
  // The user information holds no "/", so the authority starts after the
  // last "/" before that "@", or at the start when the url names no scheme.
  const std::size_t slash = utf8Url.rfind('/', firstAt);
  const std::size_t authority = slash == std::string::npos ? 0 : slash + 1;
  return utf8Url.substr(0, authority) + utf8Url.substr(firstAt + 1);
}

std::wstring withoutUserInfo(const std::wstring& url) {
  if (url.find(L'@') == std::wstring::npos) return url;
  return platform::utf8ToWide(withoutUserInfo(platform::wideToUtf8(url)));
}

}  // namespace qel
