// Relay: forwards what the connector sends to the real cash register, gives
// back what the cash register answers, and records both sides.
#include "tools/kasse-sim/relay.h"

#include <strings.h>

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "tools/kasse-sim/recording.h"

namespace qel::sim {

namespace {

const std::size_t kMaxRequestBytes = 16u * 1024u * 1024u;
const char kGatewayStatusLine[] = "HTTP/1.1 502 Bad Gateway";
const char kGatewayContentType[] = "text/plain; charset=utf-8";
const char kGatewayReason[] = "kasse-sim relay: no answer from ";

// Headers that belong to one connection and not to the message (RFC 9110,
// 7.6.1), Expect, whose 100-continue handshake each hop makes for itself, and
// the ones that the sending side works out anew: Host and Content-Length.
const char* const kConnectionHeaders[] = {"Connection",
                                          "Keep-Alive",
                                          "Proxy-Connection",
                                          "Proxy-Authenticate",
                                          "Proxy-Authorization",
                                          "TE",
                                          "Trailer",
                                          "Transfer-Encoding",
                                          "Upgrade",
                                          "Expect",
                                          "Host",
                                          "Content-Length"};

bool sameName(const std::string& name, const char* other) { return strcasecmp(name.c_str(), other) == 0; }

template <std::size_t N>
bool isOneOf(const std::string& name, const char* const (&names)[N]) {
  for (const char* other : names) {
    if (sameName(name, other)) return true;
  }
  return false;
}

// Names that a Connection header declares as its own are dropped as well.
bool isConnectionHeader(const std::string& name, const std::string& connectionValue) {
  if (isOneOf(name, kConnectionHeaders) || isPeerAddressEntry(name)) return true;
  std::istringstream listed(connectionValue);
  std::string token;
  while (std::getline(listed, token, ',')) {
    const std::size_t first = token.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (sameName(name, token.substr(first, token.find_last_not_of(" \t") - first + 1).c_str())) return true;
  }
  return false;
}

template <typename Headers>
std::string connectionValue(const Headers& headers) {
  for (const auto& [name, value] : headers) {
    if (sameName(name, "Connection")) return value;
  }
  return {};
}

// End-to-end headers of a message, in the order given.
template <typename Headers>
HeaderList endToEnd(const Headers& headers) {
  const std::string connection = connectionValue(headers);
  HeaderList kept;
  for (const auto& [name, value] : headers) {
    if (!isConnectionHeader(name, connection)) kept.emplace_back(name, value);
  }
  return kept;
}

std::string contentType(const HeaderList& headers) {
  for (const auto& [name, value] : headers) {
    if (sameName(name, "Content-Type")) return value;
  }
  return {};
}

// The answer's body is named after what it holds, so that it opens in the
// right viewer: SOAP documents as .xml, anything else (an HTML error page,
// the relay's own text) as .txt.
const char* answerBodySuffix(const HeaderList& headers) {
  std::string type = contentType(headers);
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return type.find("xml") != std::string::npos ? "-response-body.xml" : "-response-body.txt";
}

}  // namespace

Relay::Relay(std::string url, std::string caFile, std::string recordDir)
    : upstream_(std::move(url), std::move(caFile)), recordDir_(std::move(recordDir)) {}

void Relay::install(httplib::Server& server) {
  server.set_payload_max_length(kMaxRequestBytes);
  const auto forward = [this](const httplib::Request& request, httplib::Response& response) {
    this->forward(request, response);
  };
  server.Post(".*", forward);
  server.Get(".*", forward);
  server.Put(".*", forward);
  server.Delete(".*", forward);
  server.Patch(".*", forward);
  server.Options(".*", forward);
}

void Relay::forward(const httplib::Request& request, httplib::Response& response) {
  const std::string stem = recordStem(++requestCount_);
  recordRequest(stem, request);

  UpstreamRequest upstream{request.method, endToEnd(request.headers), request.body};
  UpstreamAnswer answer = upstream_.send(upstream);
  if (!answer.delivered) answer = gatewayFailure(answer);
  recordAnswer(stem, answer);

  response.status = static_cast<int>(answer.status);
  for (const auto& [name, value] : endToEnd(answer.headers)) response.set_header(name, value);
  response.body = answer.body;
  log(request, answer);
}

UpstreamAnswer Relay::gatewayFailure(const UpstreamAnswer& failed) const {
  UpstreamAnswer answer = failed;
  answer.status = 502;
  answer.statusLine = kGatewayStatusLine;
  answer.headers = {{"Content-Type", kGatewayContentType}};
  answer.body = kGatewayReason + upstream_.url() + ": " + failed.failure + "\n";
  return answer;
}

void Relay::recordRequest(const std::string& stem, const httplib::Request& request) const {
  recordRequestFiles(recordDir_, stem, request);
}

void Relay::recordAnswer(const std::string& stem, const UpstreamAnswer& answer) const {
  std::ostringstream headers;
  headers << answer.statusLine << "\r\n";
  for (const auto& [name, value] : answer.headers) headers << name << ": " << maskedHeaderValue(name, value) << "\r\n";
  const std::filesystem::path dir(recordDir_);
  writeFile(dir / (stem + "-response-headers.txt"), headers.str());
  writeFile(dir / (stem + answerBodySuffix(answer.headers)), answer.body);
}

void Relay::log(const httplib::Request& request, const UpstreamAnswer& answer) {
  std::ostringstream line;
  line << logLinePrefix(request) << answer.status << std::fixed << std::setprecision(3);
  if (answer.delivered) {
    line << " from the cash register, " << answer.body.size() << " bytes, after " << answer.seconds << " s";
  } else {
    line << " no answer after " << answer.seconds << " s: " << answer.failure;
  }
  std::lock_guard<std::mutex> lock(logMutex_);
  std::cout << line.str() << std::endl;
}

}  // namespace qel::sim
