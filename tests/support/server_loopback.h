// An HTTP/1.1 server on 127.0.0.1 inside the test process, scripted per
// test: it records each request and lets the test answer it byte by byte,
// including the ways a broken server misbehaves: in part, slowly, never, or
// with a reset, and if need be before it has read anything (like a TLS
// server that never answers the handshake).
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

#include "kit/socket.h"

namespace qel::test {

using kit::Socket;
using kit::unusedLoopbackPort;

struct ReceivedRequest {
  std::string head;  // the request line and the headers as received, up to the empty line
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
  // Sends `bytes` a byte at a time, `interval` apart, until all are sent, the
  // client has gone or the server stops.
  void drip(std::string_view bytes, std::chrono::milliseconds interval);
  // Keeps the connection open without answering until the server stops.
  void holdUntilStopped();
  // Ends the connection with a TCP reset instead of an orderly close.
  void reset();

 private:
  friend class LoopbackServer;
  ServerConnection(LoopbackServer& server, Socket& socket) : server_(server), socket_(socket) {}
  LoopbackServer& server_;
  Socket& socket_;
};

using RequestHandler = std::function<void(const ReceivedRequest&, ServerConnection&)>;

class LoopbackServer {
 public:
  // When the handler runs: once the request is read (it is recorded), once
  // its head is read (recorded without its body, and without the go-ahead
  // that a client waiting to send a large body asks for), or as soon as the
  // connection is accepted (the request it gets is empty).
  enum class Start { AfterRequest, AfterHead, AtAccept };

  explicit LoopbackServer(RequestHandler handler, Start start = Start::AfterRequest);
  // A server that answers every request with the same bytes.
  explicit LoopbackServer(std::string response);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::wstring url(const std::string& path = "/sap/kasse") const;
  std::vector<ReceivedRequest> requests() const;
  // Connections accepted so far.
  int connections() const { return connections_.load(); }

 private:
  friend class ServerConnection;
  void run();
  void serve(Socket connection);
  bool readRequest(Socket& connection, ReceivedRequest& request, bool headOnly);
  // Waits up to `duration`; true when the server is stopping.
  bool waitForStop(std::chrono::milliseconds duration);

  RequestHandler handler_;
  Start start_;
  std::atomic<int> connections_{0};
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
