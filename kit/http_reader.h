// Reading one HTTP/1.1 message off a connection: the head up to the empty
// line, then a body of the length the head states. What the bytes come
// from (a blocking socket, or one polled against a deadline) is the
// caller's.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qel::kit {

struct HttpMessage {
  std::string head;  // the start line and the headers, up to and including the empty line
  std::string body;

  // The first line, without its line break.
  std::string startLine() const;
  // Every header as name and value (trimmed), in order.
  std::vector<std::pair<std::string, std::string>> headers() const;
  // The value of the first header called `name` (any case); empty if none.
  std::string header(std::string_view name) const;
  // Content-Length as the head states it; unset when it states none.
  std::optional<std::size_t> contentLength() const;
  // The client waits for "100 Continue" before it sends the body.
  bool expectsContinue() const;
};

// Up to `size` bytes into `buffer`: how many came, 0 when the peer closed,
// negative on an error or when the caller gives up.
using Receive = std::function<long(char* buffer, std::size_t size)>;

class HttpReader {
 public:
  explicit HttpReader(Receive receive) : receive_(std::move(receive)) {}

  // Reads a head into `message`, keeping what came after it as the start
  // of the body; false when the peer closed or failed first, or the head
  // (with its empty line) is longer than 64 KiB.
  bool readHead(HttpMessage& message);
  // Reads body bytes until `length` are there; false when fewer came. Bytes
  // beyond `length` are dropped.
  bool readBody(HttpMessage& message, std::size_t length);

 private:
  Receive receive_;
};

}  // namespace qel::kit
