// The connector's one way onto the network: a single HTTP(S) POST of a text
// body over libcurl, giving back the response body or a VubException.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/secret_bytes.h"

struct curl_slist;

namespace qel {

struct TransferReport;

// A response body decoded once, whole, so that a character split between two
// network reads is not garbled: as UTF-8 when it is valid UTF-8 (what the
// cash register sends), otherwise with the ANSI code page.
std::wstring decodeResponse(std::string_view bytes);

// A response body as an error message shows it: decoded as decodeResponse
// does, whole up to kShownResponseBytes; a longer body is cut there, at a
// character's start, and a line says how many bytes were left out. No
// operator reads further, and a message box of megabytes takes its owner
// tens of seconds to lay out.
constexpr std::size_t kShownResponseBytes = 8192;
std::wstring responseForMessage(std::string_view bytes);
// The same for a body shown whole up to `limit` bytes.
std::wstring shownBody(std::string_view bytes, std::size_t limit);

class HttpClient {
 public:
  // Responses larger than this are refused, so that a misbehaving server
  // cannot exhaust the 32-bit host's address space.
  static constexpr std::size_t kMaxResponseBytes = 8u * 1024u * 1024u;

  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Initialises libcurl once per module life; later calls do nothing.
  static void globalInit();

  // Both texts are always handed to libcurl, empty ones included. The
  // client's copy of the password is wiped when the client goes.
  void setCredentials(const std::wstring& username, const std::wstring& password);
  // The same with the password as UTF-8 bytes, taken over as they are.
  void setCredentials(const std::wstring& username, platform::SecretBytes utf8Password);
  void addHeader(const std::wstring& name, const std::wstring& value);
  // A PEM file of trusted certificates (path in UTF-8); empty means the
  // system's trust store.
  void setCaFile(const std::wstring& path);

  // Posts `utf8Body` (UTF-8, as the SOAP exchange builds it, ending at its
  // terminating NUL and sent as it is) to `url` and returns the response
  // body's bytes of a 200 or 201 answer as they arrived, for a caller that
  // hands them to a parser and decodes them only for a message; throws
  // VubException otherwise. With a `report`, what the transfer did on the
  // wire is recorded there before the result is returned or thrown.
  std::string postForBytes(const std::wstring& url, const char* utf8Body, TransferReport* report = nullptr);
  // The body of the answer that made the last postForBytes throw, as it
  // arrived (empty when none came).
  const std::string& lastResponse() const { return response_; }

 private:
  struct SlistFree {
    void operator()(curl_slist* list) const noexcept;
  };

  // The steps of postForBytes, in the order in which the options are set;
  // `handle` is libcurl's easy handle (CURL*, which libcurl declares as void).
  void setTarget(void* handle, const std::string& utf8Url);
  void captureResponse(void* handle);
  void perform(void* handle, const char* utf8Body, TransferReport* report);
  static std::size_t writeResponse(char* data, std::size_t size, std::size_t count, void* client);

  std::string response_;
  bool responseTooLarge_ = false;
  std::optional<std::string> username_;
  std::optional<platform::SecretBytes> password_;
  std::unique_ptr<curl_slist, SlistFree> headers_;
  std::string caFile_;
  std::array<char, 256> errorBuffer_{};
};

}  // namespace qel
