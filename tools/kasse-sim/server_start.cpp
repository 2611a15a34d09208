// Starting kasse-sim's server: the certificate checked and named, the port
// bound for this process alone, and every failure told with its reason.
#include "tools/kasse-sim/server_start.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qel::sim {

namespace {

const char kLoopback[] = "127.0.0.1";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct X509Deleter {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct GeneralNamesDeleter {
  void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

// OpenSSL's reason for the last failure, or nothing.
std::string openSslReason() {
  const unsigned long code = ERR_peek_last_error();
  if (code == 0) return {};
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return std::string(": ") + text;
}

// Only SO_REUSEADDR, so that a restarted simulator gets its port back at
// once; cpp-httplib's default adds SO_REUSEPORT, with which a second
// process would share the port and take half of its requests.
void ownPortOptions(socket_t socket) {
  const int yes = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// Why binding 127.0.0.1:`port` fails, found by trying it once more with the
// same options; empty if it now succeeds.
std::string bindFailureReason(int port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return std::strerror(errno);
  ownPortOptions(socket);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  inet_pton(AF_INET, kLoopback, &address.sin_addr);
  const bool bound = ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const int reason = errno;
  ::close(socket);
  return bound ? std::string() : std::strerror(reason);
}

std::string ipAddressText(const ASN1_OCTET_STRING* address) {
  char text[INET6_ADDRSTRLEN] = "";
  const int family = address->length == 4 ? AF_INET : AF_INET6;
  if (address->length != 4 && address->length != 16) return {};
  return inet_ntop(family, address->data, text, sizeof text) ? text : "";
}

// The first DNS name of the subjectAltName, else its first IP address.
std::string alternativeName(X509* cert) {
  std::unique_ptr<GENERAL_NAMES, GeneralNamesDeleter> names(
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
  if (!names) return {};
  std::string ip;
  for (int i = 0; i < sk_GENERAL_NAME_num(names.get()); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
    if (name->type == GEN_DNS) {
      const ASN1_IA5STRING* dns = name->d.dNSName;
      return std::string(reinterpret_cast<const char*>(dns->data), static_cast<std::size_t>(dns->length));
    }
    if (name->type == GEN_IPADD && ip.empty()) ip = ipAddressText(name->d.iPAddress);
  }
  return ip;
}

// Serves exactly one TLS version, to stand in for an old cash register
// (1.1) or a current one. OpenSSL admits TLS 1.1 and its SHA-1 handshake
// only at security level 0.
void limitTlsVersion(SSL_CTX* context, const std::string& version) {
  const int number = version == "1.1" ? TLS1_1_VERSION : version == "1.2" ? TLS1_2_VERSION : TLS1_3_VERSION;
  if (number < TLS1_2_VERSION) SSL_CTX_set_security_level(context, 0);
  if (SSL_CTX_set_min_proto_version(context, number) != 1 || SSL_CTX_set_max_proto_version(context, number) != 1) {
    throw StartError("cannot serve TLS " + version + " only");
  }
}

}  // namespace

void checkReadableFile(const char* what, const std::string& path) {
  if (File(std::fopen(path.c_str(), "rb"))) return;
  throw StartError(std::string("cannot read ") + what + " '" + path + "': " + std::strerror(errno));
}

std::unique_ptr<httplib::Server> makeServer(const SimOptions& options) {
  if (!options.certFile) return std::make_unique<httplib::Server>();
  checkReadableFile("certificate file", *options.certFile);
  checkReadableFile("key file", *options.keyFile);
  ERR_clear_error();
  auto server = std::make_unique<httplib::SSLServer>(options.certFile->c_str(), options.keyFile->c_str());
  if (!server->is_valid()) {
    throw StartError("cannot use certificate '" + *options.certFile + "' with key '" + *options.keyFile + "'" +
                     openSslReason());
  }
  if (options.tlsVersion) limitTlsVersion(server->ssl_context(), *options.tlsVersion);
  return server;
}

int bindServer(httplib::Server& server, int port) {
  server.set_socket_options(ownPortOptions);
  const int bound = port == 0 ? server.bind_to_any_port(kLoopback) : (server.bind_to_port(kLoopback, port) ? port : -1);
  if (bound > 0) return bound;
  const std::string reason = bindFailureReason(port);
  throw StartError("cannot listen on " + std::string(kLoopback) + ":" + std::to_string(port) +
                   (reason.empty() ? std::string() : ": " + reason));
}

std::string certificateHost(const std::string& certFile) {
  File file(std::fopen(certFile.c_str(), "rb"));
  if (!file) return kLoopback;
  std::unique_ptr<X509, X509Deleter> cert(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
  if (!cert) return kLoopback;
  std::string host = alternativeName(cert.get());
  if (!host.empty()) return host;
  char commonName[256] = "";
  if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert.get()), NID_commonName, commonName, sizeof commonName) > 0) {
    return commonName;
  }
  return kLoopback;
}

}  // namespace qel::sim
