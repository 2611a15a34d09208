// An HTTP/1.1 server on 127.0.0.1 inside the test process, scripted per
// test: it records each request and lets the test answer it byte by byte,
// including the ways a broken server misbehaves.
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
#include <utility>
#include <vector>

#include "tests/support/server_socket.h"

namespace qel::test {

struct ReceivedRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The value of the first header called `name` (any case); empty if none.
  std::string header(std::string_view name) const;
};

class LoopbackServer;

// The open connection of one request, handed to the test's handler.
class ServerConnection {
 public:
  // False when the client has gone.
  bool send(std::string_view bytes);
  // Keeps the connection open without answering until the server stops.
  void holdUntilStopped();

 private:
  friend class LoopbackServer;
  ServerConnection(LoopbackServer& server, Socket& socket) : server_(server), socket_(socket) {}
  LoopbackServer& server_;
  Socket& socket_;
};

using RequestHandler = std::function<void(const ReceivedRequest&, ServerConnection&)>;

class LoopbackServer {
 public:
  explicit LoopbackServer(RequestHandler handler);
  // A server that answers every request with the same bytes.
  explicit LoopbackServer(std::string response);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::wstring url(const std::string& path = "/sap/kasse") const;
  std::vector<ReceivedRequest> requests() const;

 private:
  friend class ServerConnection;
  void run();
  void serve(Socket connection);
  bool readRequest(Socket& connection, ReceivedRequest& request);

  RequestHandler handler_;
  std::uint16_t port_ = 0;
  Socket listener_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
};

// A complete HTTP/1.1 response with Content-Length and "Connection: close".
std::string httpResponse(int status, std::string_view body,
                         std::string_view contentType = "application/soap+xml; charset=utf-8");

}  // namespace qel::test
