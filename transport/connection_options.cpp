// The libcurl options that the HTTP client and the connection check share, so
// that a check reaches the cash register exactly as a sale would.
#include "transport/connection_options.h"

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "transport/curl_easy.h"

namespace qel {

namespace {

using namespace curl;

const wchar_t kConnectTimeoutFailed[] = L"Could not set connection timeout";
const wchar_t kTimeoutFailed[] = L"Could not set response timeout";
const wchar_t kProtocolsFailed[] = L"Could not restrict the protocols to http and https";
const wchar_t kProxyFailed[] = L"Could not switch off proxies";
const wchar_t kNoSignalFailed[] = L"Could not switch off signals";
const wchar_t kVerifyPeerFailed[] = L"Could not change setting sslVerifyPeer";
const wchar_t kVerifyHostFailed[] = L"Could not change setting sslVerifyHost";
const wchar_t kSslOptionsFailed[] = L"Could not change setting sslOptions";
const wchar_t kSslVersionFailed[] = L"Could not require TLS 1.2 or later";
const wchar_t kCaFileFailed[] = L"Could not set CA file";
const wchar_t kSeparator[] = L": ";

const long kConnectTimeoutSeconds = 3;

// The cash register speaks HTTP, with or without TLS; nothing else.
const char kWebProtocols[] = "http,https";

const wchar_t kCaFilePrefix[] = L"CA file '";
const wchar_t kCaFileNotRegular[] = L"' is not a regular file";
const wchar_t kCaFileWithoutPem[] = L"' holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)";
const wchar_t kCaFileTooLarge[] = L"' exceeds 1 MiB";
const char kPemCertificateStart[] = "-----BEGIN CERTIFICATE-----";
// libcurl's Schannel refuses a larger CA file; a whole system bundle is a
// fifth of it. Both builds refuse it before connecting, as OpenSSL would
// otherwise parse a runaway file for longer than the transfer may take.
constexpr std::size_t kMaxCaFileBytes = std::size_t{1} << 20;

[[noreturn]] void refuseCaFile(const std::string& utf8CaFile, const wchar_t* reason) {
  throw VubException(kCaFilePrefix + platform::utf8ToWide(utf8CaFile) + reason,
                     static_cast<std::int32_t>(CURLE_SSL_CACERT_BADFILE));
}

// Schannel reads a DER or text file in caFile as no certificate at all and
// then reports the server's chain as partial, which points the operator at
// the wrong end; OpenSSL's message is no clearer. A file that can be read
// but holds no PEM certificate is therefore refused here, naming the file,
// and so is one over the size limit. Anything that cannot be read is left to
// libcurl, which says why.
void refuseUnfitCaFile(const std::string& utf8CaFile) {
  std::string content;
  const platform::FileRead read = platform::readFile(utf8CaFile, content, kMaxCaFileBytes).status;
  if (read == platform::FileRead::TooLarge) refuseCaFile(utf8CaFile, kCaFileTooLarge);
  if (read != platform::FileRead::Ok) return;
  if (content.find(kPemCertificateStart) == std::string::npos) refuseCaFile(utf8CaFile, kCaFileWithoutPem);
}

}  // namespace

void setConnectionRules(void* handle) {
  setOption(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds, kConnectTimeoutFailed);
  setOption(handle, CURLOPT_TIMEOUT, kTransferTimeoutSeconds, kTimeoutFailed);
  // file://, dict://, gopher:// and their kind would read local files or
  // write the request to any port; they fail as unsupported before anything
  // is sent, in the url and in any redirect.
  setOption(handle, CURLOPT_PROTOCOLS_STR, kWebProtocols, kProtocolsFailed);
  setOption(handle, CURLOPT_REDIR_PROTOCOLS_STR, kWebProtocols, kProtocolsFailed);
  // The cash register is reached as QelConnect.xml says and only so: an empty
  // proxy keeps libcurl from taking one from http_proxy, ALL_PROXY and the
  // like, which would receive the credentials and could answer for it.
  setOption(handle, CURLOPT_PROXY, "", kProxyFailed);
  // Otherwise libcurl swaps the process's SIGPIPE handler around every
  // transfer, which races with the host's other threads; the platform's
  // BrokenPipeShield keeps a broken connection's signal away instead.
  setOption(handle, CURLOPT_NOSIGNAL, 1L, kNoSignalFailed);
}

void setTlsVerification(void* handle, const std::string& utf8CaFile) {
  // The cash register receives the Basic credentials and every sale, so it
  // must prove who it is: chain and host name are both checked.
  setOption(handle, CURLOPT_SSL_VERIFYPEER, 1L, kVerifyPeerFailed);
  setOption(handle, CURLOPT_SSL_VERIFYHOST, 2L, kVerifyHostFailed);
  // Only Schannel checks revocation; a company CA often publishes no list
  // that the till can reach, so an unknown status must not fail the sale.
  // Other TLS back ends ignore the flag.
  setOption(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT), kSslOptionsFailed);
  // TLS 1.0 and 1.1 are refused rather than taken from an old cash register
  // or a middlebox that downgrades the handshake. Asking for the minimum
  // also makes Schannel offer TLS 1.2 on Windows 7, whose client defaults
  // stop at TLS 1.0. The highest version is left to the TLS stack.
  setOption(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2), kSslVersionFailed);
  if (utf8CaFile.empty()) return;
  // libcurl would open a pipe in the file's place and wait for a writer that
  // never comes, so anything but a file is refused before a connection is
  // made. A missing file or a folder is left to libcurl, which reports it.
  if (platform::fileKind(utf8CaFile) == platform::FileKind::Other) refuseCaFile(utf8CaFile, kCaFileNotRegular);
  refuseUnfitCaFile(utf8CaFile);
  // libcurl keeps a copy of the path.
  setOption(handle, CURLOPT_CAINFO, utf8CaFile.c_str(), kCaFileFailed);
  // With a configured file the certificate must chain to one of its
  // certificates alone, so the CA directory that a libcurl build may add by
  // default is switched off. Back ends without CA directories refuse the
  // option, which is just as good.
  const CURLcode result = curl_easy_setopt(handle, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
  if (result != CURLE_OK && result != CURLE_NOT_BUILT_IN && result != CURLE_UNKNOWN_OPTION) {
    throw VubException(kCaFileFailed);
  }
}

VubException transferFailure(int curlCode, const char* errorBuffer) {
  return VubException(platform::ansiToWide(curl_easy_strerror(static_cast<CURLcode>(curlCode))) + kSeparator +
                          platform::ansiToWide(errorBuffer),
                      static_cast<std::int32_t>(curlCode));
}

}  // namespace qel
