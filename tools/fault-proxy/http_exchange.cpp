// The socket side of the proxy: reading heads and bodies, writing answers.
#include "tools/fault-proxy/http_exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qel::proxy {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;

sockaddr_in loopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The value of header `name` (lowercase) in `head`, trimmed.
std::optional<std::string> headerValue(const std::string& head, const std::string& name) {
  const std::string lower = lowercase(head);
  const std::string key = "\r\n" + name + ":";
  const std::size_t at = lower.find(key);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t start = head.find_first_not_of(" \t", at + key.size());
  const std::size_t end = head.find("\r\n", at + key.size());
  if (start == std::string::npos || start >= end) return std::string();
  return head.substr(start, head.find_last_not_of(" \t", end - 1) + 1 - start);
}

}  // namespace

Socket::~Socket() {
  if (fd_ >= 0) ::close(fd_);
}

void Socket::reset() {
  const linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(fd_);
  fd_ = -1;
}

bool Socket::send(const std::string& bytes) const {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool readHead(const Socket& socket, Message& message) {
  std::string buffer;
  char chunk[4096];
  std::size_t end;
  while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() > kMaxHead) return false;
    const ssize_t n = ::recv(socket.fd(), chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
  message.head = buffer.substr(0, end + 4);
  message.body = buffer.substr(end + 4);
  if (const auto length = headerValue(message.head, "content-length")) {
    message.contentLength = static_cast<std::size_t>(std::strtoull(length->c_str(), nullptr, 10));
  }
  const auto expect = headerValue(message.head, "expect");
  message.expectsContinue = expect && lowercase(*expect) == "100-continue";
  return true;
}

bool readBody(const Socket& socket, Message& message, std::size_t limit) {
  char chunk[4096];
  while (message.body.size() < limit) {
    const ssize_t n = ::recv(socket.fd(), chunk, std::min(sizeof chunk, limit - message.body.size()), 0);
    if (n <= 0) return false;
    message.body.append(chunk, static_cast<std::size_t>(n));
  }
  message.body.resize(std::min(message.body.size(), limit));
  return true;
}

std::string withoutExpect(const std::string& head) {
  const std::string lower = lowercase(head);
  const std::size_t at = lower.find("\r\nexpect:");
  if (at == std::string::npos) return head;
  return head.substr(0, at) + head.substr(head.find("\r\n", at + 2));
}

std::optional<long long> receiptOf(const std::string& body) {
  const std::size_t open = body.find("<Dwbelegnr>");
  if (open == std::string::npos) return std::nullopt;
  const char* digits = body.c_str() + open + std::strlen("<Dwbelegnr>");
  char* end = nullptr;
  const long long value = std::strtoll(digits, &end, 10);
  if (end == digits || std::strncmp(end, "</Dwbelegnr>", 12) != 0) return std::nullopt;
  return value;
}

Socket connectLoopback(int port) {
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = loopbackAddress(port);
  if (socket.fd() < 0 || ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Socket();
  }
  return socket;
}

Socket listenLoopback(int port) {
  Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = loopbackAddress(port);
  if (listener.fd() < 0 || ::bind(listener.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.fd(), 64) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
  }
  return listener;
}

}  // namespace qel::proxy
