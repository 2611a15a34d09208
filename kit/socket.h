// The few socket calls that the loopback servers and the fault proxy need,
// all on 127.0.0.1, with one implementation per platform (chosen by the
// build, not by #ifdef).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace qel::kit {

// An owned TCP socket, closed when the owner goes away.
class Socket {
 public:
  Socket() = default;
  explicit Socket(std::intptr_t handle) : handle_(handle) {}
  ~Socket() { reset(); }
  Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool valid() const { return handle_ != kNone; }
  std::intptr_t handle() const { return handle_; }

  static constexpr std::intptr_t kNone = -1;

 private:
  void reset() noexcept {
    if (valid()) closeHandle(std::exchange(handle_, kNone));
  }
  // The one call that differs by system: close() or closesocket().
  static void closeHandle(std::intptr_t handle) noexcept;

  std::intptr_t handle_ = kNone;
};

// A listening socket on 127.0.0.1; `port` 0 picks a free port, and `port`
// is set to the port actually bound. Throws std::runtime_error on failure.
Socket listenOnLoopback(std::uint16_t& port);

// A connection to 127.0.0.1:`port`; invalid when nothing answers.
Socket connectToLoopback(std::uint16_t port);

// Makes every receive and send on `socket` give up after `seconds`.
void setTimeouts(const Socket& socket, int seconds);

// True when `socket` has data (or a connection) waiting within `timeoutMs`.
bool waitReadable(const Socket& socket, int timeoutMs);

// The next connection of a listening socket; invalid on failure.
Socket acceptConnection(const Socket& listener);

// Up to `size` bytes; 0 when the peer has closed, negative on error.
long receiveSome(const Socket& socket, char* buffer, std::size_t size);

// Sends everything; false when the peer has gone (never raises a signal).
bool sendAll(const Socket& socket, std::string_view bytes);

// Ends `socket` with a TCP reset (SO_LINGER with a zero time, then close)
// instead of an orderly close.
void resetConnection(Socket& socket);

// A loopback port on which nothing listens (it was free a moment ago).
std::uint16_t unusedLoopbackPort();

}  // namespace qel::kit
