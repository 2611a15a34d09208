// The fault plan: the table of kinds, shares read from the command line,
// choices from the seed, and the answers that stand in for the cash
// register's.
#include "harness/fault-proxy/fault_plan.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "kit/random_mix.h"

namespace qel::proxy {

// A delay costs the connector's 6-second time-out, so it has the smallest
// share: the short runs must stay well within a few minutes on two cores.
const std::array<FaultRow, kFaultKinds> kFaults = {{
    {Fault::Pass, "pass", 58},
    {Fault::Refuse, "refuse", 4},
    {Fault::CloseBefore, "close-before", 4},
    {Fault::CloseAfter, "close-after", 4},
    {Fault::Delay, "delay", 2},
    {Fault::CutAnswer, "cut", 4},
    {Fault::Answer502, "502", 3},
    {Fault::Answer503, "503", 3},
    {Fault::Answer504, "504", 3},
    {Fault::Answer202, "202", 2},
    {Fault::Answer204, "204", 2},
    {Fault::Html500, "html-500", 3},
    {Fault::Utf16Html500, "utf16-500", 2},
    {Fault::Gzip502, "gzip-502", 2},
    {Fault::ResetInBody, "reset-body", 4},
}};

namespace {

constexpr std::uint32_t kMaxWeight = 1000000;
constexpr char kErrorPage[] =
    "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>\n"
    "<body><h1>Internal Server Error</h1><p>The server encountered an internal error.</p></body></html>\n";
constexpr char kGatewayPage[] =
    "<html><head><title>502 Bad Gateway</title></head>\n"
    "<body><center><h1>502 Bad Gateway</h1></center></body></html>\n";

std::size_t kindOf(const std::string& name) {
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    if (name == kFaults[i].name) return i;
  }
  throw std::invalid_argument("unknown fault '" + name + "'");
}

std::uint32_t weightOf(const std::string& name, const std::string& text) {
  std::size_t used = 0;
  unsigned long value = 0;
  try {
    value = text.empty() || text[0] == '-' ? kMaxWeight + 1ul : std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value > kMaxWeight) {
    throw std::invalid_argument("the share of " + name + " must be a whole number from 0 to " +
                                std::to_string(kMaxWeight) + ", not '" + text + "'");
  }
  return static_cast<std::uint32_t>(value);
}

// `text` (ASCII) as UTF-16 little-endian with its byte-order mark.
std::string utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) bytes += {c, '\0'};
  return bytes;
}

std::string gzip(const std::string& text) {
  z_stream stream{};
  // 15 window bits, +16 for the gzip wrapper.
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib cannot compress");
  }
  std::string out(deflateBound(&stream, text.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string answer(const std::string& statusLine, const std::string& headers, const std::string& body) {
  return "HTTP/1.1 " + statusLine + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

std::string gatewayAnswer(const std::string& statusLine) {
  const std::string status = statusLine.substr(0, 3);
  return answer(statusLine, "Content-Type: text/plain\r\n", "fault-proxy: simulated " + status + "\n");
}

}  // namespace

const char* faultName(Fault fault) { return kFaults[static_cast<std::size_t>(fault)].name; }

std::string defaultShares() {
  std::string shares;
  for (const FaultRow& row : kFaults) {
    shares += (shares.empty() ? "" : ",") + std::string(row.name) + "=" + std::to_string(row.share);
  }
  return shares;
}

std::string replacementAnswer(Fault fault) {
  switch (fault) {
    case Fault::Answer502:
      return gatewayAnswer("502 Bad Gateway");
    case Fault::Answer503:
      return gatewayAnswer("503 Service Unavailable");
    case Fault::Answer504:
      return gatewayAnswer("504 Gateway Timeout");
    case Fault::Answer202:
      return answer("202 Accepted", "", "");
    case Fault::Answer204:
      return "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
    case Fault::Html500:
      return answer("500 Internal Server Error", "Content-Type: text/html\r\n", kErrorPage);
    case Fault::Utf16Html500:
      return answer("500 Internal Server Error", "Content-Type: text/html; charset=utf-16\r\n", utf16(kErrorPage));
    case Fault::Gzip502:
      return answer("502 Bad Gateway", "Content-Type: text/html\r\nContent-Encoding: gzip\r\n", gzip(kGatewayPage));
    default:
      return {};
  }
}

FaultPlan::FaultPlan(std::uint64_t seed, const std::string& shares) : seed_(seed) {
  std::array<bool, kFaultKinds> given{};
  std::size_t start = 0;
  while (start <= shares.size()) {
    const std::size_t comma = std::min(shares.find(',', start), shares.size());
    const std::string item = shares.substr(start, comma - start);
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) throw std::invalid_argument("a share is name=weight, not '" + item + "'");
    const std::string name = item.substr(0, equals);
    const std::size_t kind = kindOf(name);
    if (given[kind]) throw std::invalid_argument("the share of " + name + " is given twice");
    given[kind] = true;
    weights_[kind] = weightOf(name, item.substr(equals + 1));
    total_ += weights_[kind];
    start = comma + 1;
  }
  if (total_ == 0) throw std::invalid_argument("every share is 0");
}

Fault FaultPlan::choose(std::uint64_t index) const {
  std::uint64_t slot = kit::mix(seed_ ^ kit::mix(index)) % total_;
  std::size_t kind = 0;
  while (slot >= weights_[kind]) slot -= weights_[kind++];
  return static_cast<Fault>(kind);
}

std::string FaultPlan::describe() const {
  std::string text = "seed " + std::to_string(seed_) + "; per connection:";
  const char* separator = " ";
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    if (weights_[i] == 0) continue;
    char share[32];
    std::snprintf(share, sizeof share, " %.1f%%", 100.0 * weights_[i] / static_cast<double>(total_));
    text += separator + std::string(kFaults[i].name) + share;
    separator = ", ";
  }
  return text;
}

}  // namespace qel::proxy
