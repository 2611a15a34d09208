// The loopback socket calls on POSIX.
#include "kit/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qel::kit {

void Socket::closeHandle(std::intptr_t handle) noexcept { ::close(static_cast<int>(handle)); }

Socket listenOnLoopback(std::uint16_t& port) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (!socket.valid()) throw std::runtime_error("socket() failed");
  const int fd = static_cast<int>(socket.handle());
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("bind() failed");
  if (::listen(fd, 16) != 0) throw std::runtime_error("listen() failed");
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return socket;
}

Socket connectToLoopback(std::uint16_t port) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (!socket.valid() ||
      ::connect(static_cast<int>(socket.handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return Socket();
  }
  return socket;
}

void setTimeouts(const Socket& socket, int seconds) {
  const timeval limit{seconds, 0};
  ::setsockopt(static_cast<int>(socket.handle()), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(static_cast<int>(socket.handle()), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool waitReadable(const Socket& socket, int timeoutMs) {
  pollfd entry{static_cast<int>(socket.handle()), POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) > 0;
}

Socket acceptConnection(const Socket& listener) {
  return Socket(::accept(static_cast<int>(listener.handle()), nullptr, nullptr));
}

long receiveSome(const Socket& socket, char* buffer, std::size_t size) {
  return static_cast<long>(::recv(static_cast<int>(socket.handle()), buffer, size, 0));
}

bool sendAll(const Socket& socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(static_cast<int>(socket.handle()), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::uint16_t unusedLoopbackPort() {
  std::uint16_t port = 0;
  listenOnLoopback(port);  // closed again at once
  return port;
}

void resetConnection(Socket& socket) {
  const linger abort{1, 0};
  ::setsockopt(static_cast<int>(socket.handle()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  socket = Socket();
}

}  // namespace qel::kit
