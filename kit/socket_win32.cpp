// The loopback socket calls on Windows (Winsock).
#include "kit/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

namespace qel::kit {

namespace {

// Winsock must be started once per process before the first socket call.
void startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

SOCKET raw(const Socket& socket) { return static_cast<SOCKET>(socket.handle()); }

Socket own(SOCKET s) { return s == INVALID_SOCKET ? Socket() : Socket(static_cast<std::intptr_t>(s)); }

}  // namespace

void Socket::closeHandle(std::intptr_t handle) noexcept { ::closesocket(static_cast<SOCKET>(handle)); }

Socket listenOnLoopback(std::uint16_t& port) {
  startWinsock();
  Socket socket = own(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket.valid()) throw std::runtime_error("socket() failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(raw(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("bind() failed");
  }
  if (::listen(raw(socket), 16) != 0) throw std::runtime_error("listen() failed");
  int length = sizeof address;
  ::getsockname(raw(socket), reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return socket;
}

Socket connectToLoopback(std::uint16_t port) {
  startWinsock();
  Socket socket = own(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (!socket.valid() || ::connect(raw(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return Socket();
  }
  return socket;
}

void setTimeouts(const Socket& socket, int seconds) {
  const DWORD limit = static_cast<DWORD>(seconds) * 1000;
  ::setsockopt(raw(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  ::setsockopt(raw(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

bool waitReadable(const Socket& socket, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(raw(socket), &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &timeout) > 0;
}

Socket acceptConnection(const Socket& listener) { return own(::accept(raw(listener), nullptr, nullptr)); }

long receiveSome(const Socket& socket, char* buffer, std::size_t size) {
  return ::recv(raw(socket), buffer, static_cast<int>(size), 0);
}

bool sendAll(const Socket& socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = ::send(raw(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
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
  linger abort{};
  abort.l_onoff = 1;
  abort.l_linger = 0;
  ::setsockopt(static_cast<SOCKET>(socket.handle()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
  socket = Socket();
}

}  // namespace qel::kit
