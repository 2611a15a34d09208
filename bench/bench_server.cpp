// A cash register for the transfer benchmark that answers at once: one
// connection at a time on 127.0.0.1, plain HTTP or HTTPS, every request
// answered with Rect 0 and the connection closed, so that the client's own
// cost is what the benchmark sees.
//   bench_server [--tls CERT KEY] [--record FILE]
// It prints the port it picked on its first line and runs until stopped
// (SIGTERM or SIGINT). With --record, a POST to /bench/arm makes it write the
// body of the next request to FILE before it answers that request.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "kit/http_reader.h"
#include "kit/socket.h"

namespace {

using qel::kit::HttpMessage;
using qel::kit::Socket;

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

// One accepted connection, read and written through TLS when there is a
// context, directly otherwise.
class Connection {
 public:
  Connection(const Socket& socket, SSL_CTX* tls) : socket_(socket) {
    if (tls == nullptr) return;
    ssl_.reset(SSL_new(tls));
    SSL_set_fd(ssl_.get(), static_cast<int>(socket.handle()));
    if (SSL_accept(ssl_.get()) != 1) ssl_.reset(), failed_ = true;
  }
  ~Connection() {
    if (ssl_) SSL_shutdown(ssl_.get());
  }
  bool failed() const { return failed_; }

  long read(char* buffer, std::size_t size) {
    if (ssl_) return SSL_read(ssl_.get(), buffer, static_cast<int>(size));
    return qel::kit::receiveSome(socket_, buffer, size);
  }
  bool write(std::string_view bytes) {
    if (!ssl_) return qel::kit::sendAll(socket_, bytes);
    while (!bytes.empty()) {
      const int sent = SSL_write(ssl_.get(), bytes.data(), static_cast<int>(bytes.size()));
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

 private:
  const Socket& socket_;
  std::unique_ptr<SSL, SslFree> ssl_;
  bool failed_ = false;
};

// Reads one request, its head and its Content-Length body, with the kit's
// reader; false when the client went first.
bool receive(Connection& connection, HttpMessage& request) {
  qel::kit::HttpReader reader([&connection](char* buffer, std::size_t size) { return connection.read(buffer, size); });
  if (!reader.readHead(request)) return false;
  if (request.expectsContinue() && request.body.empty()) connection.write("HTTP/1.1 100 Continue\r\n\r\n");
  return reader.readBody(request, request.contentLength().value_or(0));
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
  sigaction(SIGTERM, &action, nullptr);  // no SA_RESTART: accept returns at once
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::uint16_t port = 0;
  Socket listener;
  try {
    listener = qel::kit::listenOnLoopback(port);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_server: %s\n", e.what());
    return 1;
  }
  std::printf("%u\n", static_cast<unsigned>(port));
  std::fflush(stdout);

  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
      "Content-Length: " +
      std::to_string(kAnswer.size()) + "\r\nConnection: close\r\n\r\n" + std::string(kAnswer);
  bool armed = false;
  const int one = 1;
  while (!stopping) {
    const Socket client = qel::kit::acceptConnection(listener);
    if (!client.valid()) continue;  // a signal, or a client that went at once
    setsockopt(static_cast<int>(client.handle()), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Connection connection(client, tls.get());
    if (connection.failed()) continue;
    HttpMessage request;
    if (!receive(connection, request)) continue;
    const std::string line = request.startLine();
    const std::size_t targetStart = line.find(' ') + 1;
    if (line.compare(targetStart, line.find(' ', targetStart) - targetStart, "/bench/arm") == 0) {
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
