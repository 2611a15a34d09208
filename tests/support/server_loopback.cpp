// The scripted loopback HTTP server of the transport tests.
#include "tests/support/server_loopback.h"

#include <cctype>

#include "kit/http_reader.h"

namespace qel::test {

namespace {

constexpr int kPollMs = 20;
// A client that stops sending in the middle of a request is given up on
// after this long, so that a test never hangs on the server.
constexpr auto kReadPatience = std::chrono::seconds(10);

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

}  // namespace

std::string ReceivedRequest::header(std::string_view name) const {
  const auto lower = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  for (const auto& [key, value] : headers) {
    if (lower(key) == lower(name)) return value;
  }
  return {};
}

bool ServerConnection::send(std::string_view bytes) { return kit::sendAll(socket_, bytes); }

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
  listener_ = kit::listenOnLoopback(port_);
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
  const auto deadline = std::chrono::steady_clock::now() + kReadPatience;
  kit::HttpReader reader([&](char* buffer, std::size_t size) -> long {
    while (!stopping_ && std::chrono::steady_clock::now() <= deadline) {
      if (kit::waitReadable(connection, kPollMs)) return kit::receiveSome(connection, buffer, size);
    }
    return -1;
  });
  kit::HttpMessage message;
  if (!reader.readHead(message)) return false;
  request.head = message.head;
  const std::string line = message.startLine();
  const std::size_t firstSpace = line.find(' ');
  const std::size_t secondSpace = line.find(' ', firstSpace + 1);
  request.method = line.substr(0, firstSpace);
  request.target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  request.headers = message.headers();
  if (headOnly) return true;
  // libcurl may wait for a go-ahead before it sends a large body.
  if (message.expectsContinue()) kit::sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
  if (!reader.readBody(message, message.contentLength().value_or(0))) return false;
  request.body = std::move(message.body);
  return true;
}

std::string httpResponse(int status, std::string_view body, std::string_view contentType) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
  if (!contentType.empty()) response += "Content-Type: " + std::string(contentType) + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  response += body;
  return response;
}

}  // namespace qel::test
