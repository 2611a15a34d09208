// The scripted loopback HTTP server of the transport tests.
#include "tests/support/server_loopback.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qel::test {

namespace {

constexpr int kPollMs = 20;
// A client that stops sending in the middle of a request is given up on
// after this long, so that a test never hangs on the server.
constexpr auto kReadPatience = std::chrono::seconds(10);

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 201:
      return "Created";
    case 204:
      return "No Content";
    case 302:
      return "Found";
    case 401:
      return "Unauthorized";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

void parseHead(std::string_view head, ReceivedRequest& request) {
  std::size_t lineEnd = head.find("\r\n");
  const std::string_view requestLine = head.substr(0, lineEnd);
  const std::size_t firstSpace = requestLine.find(' ');
  const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
  request.method = std::string(requestLine.substr(0, firstSpace));
  request.target = std::string(requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1));
  while (lineEnd != std::string_view::npos && lineEnd + 2 < head.size()) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line = head.substr(start, lineEnd - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
  }
}

}  // namespace

std::string ReceivedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return value;
  }
  return {};
}

bool ServerConnection::send(std::string_view bytes) { return sendAll(socket_, bytes); }

void ServerConnection::drip(std::string_view bytes, std::chrono::milliseconds interval) {
  for (char c : bytes) {
    if (!sendAll(socket_, std::string_view(&c, 1))) return;
    if (server_.waitForStop(interval)) return;
  }
}

void ServerConnection::holdUntilStopped() {
  std::unique_lock<std::mutex> lock(server_.mutex_);
  server_.stopped_.wait(lock, [this] { return server_.stopping_.load(); });
}

void ServerConnection::reset() { resetConnection(socket_); }

LoopbackServer::LoopbackServer(RequestHandler handler, Start start) : handler_(std::move(handler)), start_(start) {
  listener_ = listenOnLoopback(port_);
  thread_ = std::thread(&LoopbackServer::run, this);
}

LoopbackServer::LoopbackServer(std::string response)
    : LoopbackServer([response = std::move(response)](const ReceivedRequest&, ServerConnection& connection) {
        connection.send(response);
      }) {}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

std::wstring LoopbackServer::url(const std::string& path) const {
  const std::string text = "http://127.0.0.1:" + std::to_string(port_) + path;
  return std::wstring(text.begin(), text.end());
}

bool LoopbackServer::waitForStop(std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stopped_.wait_for(lock, duration, [this] { return stopping_.load(); });
}

std::vector<ReceivedRequest> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::run() {
  while (!stopping_) {
    if (!waitReadable(listener_, kPollMs)) continue;
    Socket connection = acceptConnection(listener_);
    if (connection.valid()) serve(std::move(connection));
  }
}

void LoopbackServer::serve(Socket connection) {
  ++connections_;
  ReceivedRequest request;
  if (start_ != Start::AtAccept) {
    if (!readRequest(connection, request, start_ == Start::AfterHead)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  ServerConnection handle(*this, connection);
  handler_(request, handle);
}  // closing the socket ends whatever the handler left open

bool LoopbackServer::readRequest(Socket& connection, ReceivedRequest& request, bool headOnly) {
  std::string data;
  std::size_t headEnd = std::string::npos;
  std::size_t bodyLength = 0;
  bool continued = false;
  const auto deadline = std::chrono::steady_clock::now() + kReadPatience;
  char buffer[16384];
  while (true) {
    if (headEnd == std::string::npos) {
      headEnd = data.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        parseHead(std::string_view(data).substr(0, headEnd), request);
        bodyLength = static_cast<std::size_t>(std::strtoul(request.header("Content-Length").c_str(), nullptr, 10));
      }
    }
    if (headEnd != std::string::npos && headOnly) return true;
    if (headEnd != std::string::npos) {
      // libcurl may wait for a go-ahead before it sends a large body.
      if (!continued && equalsIgnoringCase(request.header("Expect"), "100-continue")) {
        continued = true;
        sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
      }
      if (data.size() >= headEnd + 4 + bodyLength) {
        request.body = data.substr(headEnd + 4, bodyLength);
        return true;
      }
    }
    if (stopping_ || std::chrono::steady_clock::now() > deadline) return false;
    if (!waitReadable(connection, kPollMs)) continue;
    const long received = receiveSome(connection, buffer, sizeof buffer);
    if (received <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(received));
  }
}

std::string httpResponse(int status, std::string_view body, std::string_view contentType) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
  if (!contentType.empty()) response += "Content-Type: " + std::string(contentType) + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  response += body;
  return response;
}

}  // namespace qel::test
