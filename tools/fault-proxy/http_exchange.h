// Reading one HTTP/1.1 message off a socket, as far as the proxy needs it:
// the head up to the empty line and a body of Content-Length bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qel::proxy {

// An open socket, closed when it goes; reset() makes the close a TCP reset.
class Socket {
 public:
  explicit Socket(int fd = -1) : fd_(fd) {}
  ~Socket();
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&&) = delete;
  Socket(const Socket&) = delete;

  int fd() const { return fd_; }
  void reset();
  // Writes all of `bytes`; false when the peer is gone.
  bool send(const std::string& bytes) const;

 private:
  int fd_;
};

struct Message {
  std::string head;  // up to and including the empty line
  std::string body;
  // Content-Length as the head states it; unset when it states none.
  std::optional<std::size_t> contentLength;
  bool expectsContinue = false;  // Expect: 100-continue
};

// Reads a head from `socket` (false when the peer closed or failed first).
bool readHead(const Socket& socket, Message& message);
// Reads body bytes until `limit` are there or the peer closed; false when
// fewer came.
bool readBody(const Socket& socket, Message& message, std::size_t limit);

// The head without its Expect header: the proxy answers 100 Continue itself.
std::string withoutExpect(const std::string& head);

// The decimal number between <Dwbelegnr> and </Dwbelegnr> of `body`, if any.
std::optional<long long> receiptOf(const std::string& body);

// Socket to 127.0.0.1:`port`, or an invalid one.
Socket connectLoopback(int port);

// A socket listening on 127.0.0.1:`port` (0: a free one); throws
// std::runtime_error when it cannot.
Socket listenLoopback(int port);

}  // namespace qel::proxy
