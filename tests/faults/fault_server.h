// A server on 127.0.0.1 that misbehaves on purpose, one way per test: it
// reads the request (or not at all, like a TLS server that never answers the
// handshake), then runs a script that may answer in part, slowly, never, or
// end the connection with a reset.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "tests/support/server_socket.h"

namespace qel::test {

class FaultServer;

// The accepted connection, handed to the script.
class FaultConnection {
 public:
  // False when the client has gone.
  bool send(std::string_view bytes);
  // Sends `bytes` a byte at a time, `interval` apart, until all are sent, the
  // client has gone or the server stops.
  void drip(std::string_view bytes, std::chrono::milliseconds interval);
  // Keeps the connection open and silent until the server stops.
  void hold();
  // Ends the connection with a TCP reset instead of an orderly close.
  void reset();

 private:
  friend class FaultServer;
  FaultConnection(FaultServer& server, Socket& socket) : server_(server), socket_(socket) {}
  FaultServer& server_;
  Socket& socket_;
};

using FaultScript = std::function<void(FaultConnection&)>;

class FaultServer {
 public:
  enum class Start { AfterRequest, AtAccept };

  explicit FaultServer(FaultScript script, Start start = Start::AfterRequest);
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  // "<scheme>://127.0.0.1:<port>/sap/kasse".
  std::string url(const std::string& scheme = "http") const;
  // Connections accepted so far.
  int connections() const { return connections_.load(); }
  // The body of the last request read.
  std::string lastBody() const;

 private:
  friend class FaultConnection;
  void run();
  bool readRequest(Socket& connection);
  // Waits up to `duration`; true when the server is stopping.
  bool waitForStop(std::chrono::milliseconds duration);

  FaultScript script_;
  Start start_;
  std::uint16_t port_ = 0;
  Socket listener_;
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::string lastBody_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::thread thread_;
};

// Ends `socket` with a TCP reset (SO_LINGER with a zero time, then close).
void resetConnection(Socket& socket);

}  // namespace qel::test
