// The misbehaving loopback server of the fault tests.
#include "tests/faults/fault_server.h"

#include <cstdlib>

namespace qel::test {

namespace {

constexpr int kPollMs = 20;
// A client that stops sending in mid-request is given up on after this long.
constexpr auto kReadPatience = std::chrono::seconds(10);

// The value of header `name` in `head` (written as libcurl writes it).
std::string headerValue(const std::string& head, const std::string& name) {
  const std::size_t at = head.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  std::size_t start = at + name.size() + 3;
  while (start < head.size() && head[start] == ' ') ++start;
  return head.substr(start, head.find("\r\n", start) - start);
}

}  // namespace

bool FaultConnection::send(std::string_view bytes) { return sendAll(socket_, bytes); }

void FaultConnection::drip(std::string_view bytes, std::chrono::milliseconds interval) {
  for (char c : bytes) {
    if (!sendAll(socket_, std::string_view(&c, 1))) return;
    if (server_.waitForStop(interval)) return;
  }
}

void FaultConnection::hold() {
  std::unique_lock<std::mutex> lock(server_.mutex_);
  server_.stopped_.wait(lock, [this] { return server_.stopping_; });
}

void FaultConnection::reset() { resetConnection(socket_); }

FaultServer::FaultServer(FaultScript script, Start start) : script_(std::move(script)), start_(start) {
  listener_ = listenOnLoopback(port_);
  thread_ = std::thread(&FaultServer::run, this);
}

FaultServer::~FaultServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

std::string FaultServer::url(const std::string& scheme) const {
  return scheme + "://127.0.0.1:" + std::to_string(port_) + "/sap/kasse";
}

std::string FaultServer::lastBody() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastBody_;
}

bool FaultServer::waitForStop(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void FaultServer::run() {
  while (!waitForStop(std::chrono::milliseconds(0))) {
    if (!waitReadable(listener_, kPollMs)) continue;
    Socket connection = acceptConnection(listener_);
    if (!connection.valid()) continue;
    ++connections_;
    if (start_ == Start::AfterRequest && !readRequest(connection)) continue;
    FaultConnection handle(*this, connection);
    script_(handle);
  }  // closing the socket ends whatever the script left open
}

bool FaultServer::readRequest(Socket& connection) {
  std::string data;
  const auto deadline = std::chrono::steady_clock::now() + kReadPatience;
  bool continued = false;
  char buffer[16384];
  while (true) {
    const std::size_t headEnd = data.find("\r\n\r\n");
    if (headEnd != std::string::npos) {
      const std::string head = data.substr(0, headEnd);
      // libcurl may wait for a go-ahead before it sends the body.
      if (!continued && headerValue(head, "Expect") == "100-continue") {
        continued = true;
        sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
      }
      const std::size_t length = std::strtoul(headerValue(head, "Content-Length").c_str(), nullptr, 10);
      if (data.size() >= headEnd + 4 + length) {
        std::lock_guard<std::mutex> lock(mutex_);
        lastBody_ = data.substr(headEnd + 4, length);
        return true;
      }
    }
    if (std::chrono::steady_clock::now() > deadline || waitForStop(std::chrono::milliseconds(0))) return false;
    if (!waitReadable(connection, kPollMs)) continue;
    const long received = receiveSome(connection, buffer, sizeof buffer);
    if (received <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(received));
  }
}

}  // namespace qel::test
