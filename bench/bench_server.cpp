// A cash register for the transfer benchmark that answers at once: one
// connection at a time on 127.0.0.1, plain HTTP or HTTPS, every request
// answered with Rect 0 and the connection closed, so that the client's own
// cost is what the benchmark sees.
//   bench_server [--tls CERT KEY] [--record FILE]
// It prints the port it picked on its first line and runs until stopped
// (SIGTERM or SIGINT). With --record, a POST to /bench/arm makes it write the
// body of the next request to FILE before it answers that request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kAnswer =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><env:Envelope "
    "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header/><env:Body>"
    "<n0:_-qel_-kasVubWsQuendalSalesResponse xmlns:n0=\"urn:sap-com:document:sap:soap:functions:mc-style\">"
    "<ExRect><Rect>0</Rect><Rectmsg>OK</Rectmsg></ExRect></n0:_-qel_-kasVubWsQuendalSalesResponse>"
    "</env:Body></env:Envelope>";

volatile sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

struct SslCtxFree {
  void operator()(SSL_CTX* ctx) const noexcept { SSL_CTX_free(ctx); }
};
struct SslFree {
  void operator()(SSL* ssl) const noexcept { SSL_free(ssl); }
};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// One accepted connection, read and written through TLS when there is a
// context, directly otherwise.
class Connection {
 public:
  Connection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (tls == nullptr) return;
    ssl_.reset(SSL_new(tls));
    SSL_set_fd(ssl_.get(), fd);
    if (SSL_accept(ssl_.get()) != 1) ssl_.reset(), failed_ = true;
  }
  ~Connection() {
    if (ssl_) SSL_shutdown(ssl_.get());
  }
  bool failed() const { return failed_; }

  long read(char* buffer, std::size_t size) {
    if (ssl_) return SSL_read(ssl_.get(), buffer, static_cast<int>(size));
    return ::recv(fd_, buffer, size, 0);
  }
  bool write(std::string_view bytes) {
    while (!bytes.empty()) {
      const long sent = ssl_ ? SSL_write(ssl_.get(), bytes.data(), static_cast<int>(bytes.size()))
                             : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

 private:
  int fd_;
  std::unique_ptr<SSL, SslFree> ssl_;
  bool failed_ = false;
};

std::size_t contentLength(std::string_view head) {
  constexpr std::string_view kName = "\r\ncontent-length:";
  std::string lower(head);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lower.find(kName);
  return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + kName.size(), nullptr, 10);
}

bool expectsContinue(std::string_view head) {
  std::string lower(head);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("\r\nexpect: 100-continue") != std::string::npos;
}

struct Request {
  std::string target;
  std::string body;
  bool complete = false;
};

// Reads one request: its head and its Content-Length body.
Request receive(Connection& connection) {
  Request request;
  std::string data;
  char buffer[65536];
  std::size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    const long got = connection.read(buffer, sizeof buffer);
    if (got <= 0) return request;
    data.append(buffer, static_cast<std::size_t>(got));
    headEnd = data.find("\r\n\r\n");
  }
  const std::size_t targetStart = data.find(' ') + 1;
  request.target = data.substr(targetStart, data.find(' ', targetStart) - targetStart);
  const std::string_view head(data.data(), headEnd + 2);
  const std::size_t length = contentLength(head);
  if (expectsContinue(head) && data.size() == headEnd + 4) connection.write("HTTP/1.1 100 Continue\r\n\r\n");
  const std::size_t total = headEnd + 4 + length;
  data.reserve(total);
  while (data.size() < total) {
    const long got = connection.read(buffer, sizeof buffer);
    if (got <= 0) return request;
    data.append(buffer, static_cast<std::size_t>(got));
  }
  request.body = data.substr(headEnd + 4, length);
  request.complete = true;
  return request;
}

std::unique_ptr<SSL_CTX, SslCtxFree> tlsContext(const char* cert, const char* key) {
  std::unique_ptr<SSL_CTX, SslCtxFree> ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx.get(), cert) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx.get(), key, SSL_FILETYPE_PEM) != 1) {
    ERR_print_errors_fp(stderr);
    std::exit(2);
  }
  return ctx;
}

}  // namespace

int main(int argc, char** argv) {
  const char* cert = nullptr;
  const char* key = nullptr;
  std::string recordFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--tls" && i + 2 < argc) {
      cert = argv[++i];
      key = argv[++i];
    } else if (arg == "--record" && i + 1 < argc) {
      recordFile = argv[++i];
    } else {
      std::fprintf(stderr, "usage: bench_server [--tls CERT KEY] [--record FILE]\n");
      return 2;
    }
  }
  std::unique_ptr<SSL_CTX, SslCtxFree> tls;
  if (cert != nullptr) tls = tlsContext(cert, key);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGTERM, &action, nullptr);  // no SA_RESTART: accept returns EINTR
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Fd listener(socket(AF_INET, SOCK_STREAM, 0));
  const int one = 1;
  setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.get(), 64) != 0) {
    std::perror("bench_server");
    return 1;
  }
  socklen_t size = sizeof address;
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
  std::printf("%u\n", static_cast<unsigned>(ntohs(address.sin_port)));
  std::fflush(stdout);

  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(kAnswer.size()) + "\r\nConnection: close\r\n\r\n" + std::string(kAnswer);
  bool armed = false;
  while (!stopping) {
    Fd client(accept(listener.get(), nullptr, nullptr));
    if (client.get() < 0) {
      if (errno == EINTR) continue;
      std::perror("bench_server: accept");
      return 1;
    }
    setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Connection connection(client.get(), tls.get());
    if (connection.failed()) continue;
    const Request request = receive(connection);
    if (!request.complete) continue;
    if (request.target == "/bench/arm") {
      armed = !recordFile.empty();
    } else if (armed) {
      // The body is on disk before the answer leaves, so the client may
      // read the file as soon as its request has returned.
      std::ofstream(recordFile, std::ios::binary) << request.body;
      armed = false;
    }
    connection.write(response);
  }
  return 0;
}
