// The HTTP/1.1 reader of the loopback servers and the fault proxy.
#include "kit/http_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qel::kit {
namespace {

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr std::size_t kReserveAtOnce = 1024 * 1024;

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

}  // namespace

std::string HttpMessage::startLine() const { return head.substr(0, head.find("\r\n")); }

std::vector<std::pair<std::string, std::string>> HttpMessage::headers() const {
  std::vector<std::pair<std::string, std::string>> found;
  const std::string_view text(head);
  std::size_t lineEnd = text.find("\r\n");
  while (lineEnd != std::string_view::npos && lineEnd + 2 < text.size()) {
    const std::size_t start = lineEnd + 2;
    lineEnd = text.find("\r\n", start);
    const std::string_view line = text.substr(start, lineEnd - start);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) found.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
  }
  return found;
}

std::string HttpMessage::header(std::string_view name) const {
  for (const auto& [key, value] : headers()) {
    if (equalsIgnoringCase(key, name)) return value;
  }
  return {};
}

std::optional<std::size_t> HttpMessage::contentLength() const {
  for (const auto& [key, value] : headers()) {
    if (equalsIgnoringCase(key, "Content-Length")) return std::strtoull(value.c_str(), nullptr, 10);
  }
  return std::nullopt;
}

bool HttpMessage::expectsContinue() const { return equalsIgnoringCase(header("Expect"), "100-continue"); }

bool HttpReader::readHead(HttpMessage& message) {
  std::string buffer;
  char chunk[16384];
  std::size_t end;
  while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() >= kMaxHead) return false;
    const long n = receive_(chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
  if (end + 4 > kMaxHead) return false;
  message.head = buffer.substr(0, end + 4);
  message.body = buffer.substr(end + 4);
  return true;
}

bool HttpReader::readBody(HttpMessage& message, std::size_t length) {
  // Room for a body of the usual sizes at once; a larger one stated in a
  // head need not be believed before its bytes come.
  message.body.reserve(std::min<std::size_t>(length, kReserveAtOnce));
  char chunk[65536];
  while (message.body.size() < length) {
    const long n = receive_(chunk, std::min(sizeof chunk, length - message.body.size()));
    if (n <= 0) return false;
    message.body.append(chunk, static_cast<std::size_t>(n));
  }
  message.body.resize(length);
  return true;
}

}  // namespace qel::kit
