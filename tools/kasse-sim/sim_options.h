// kasse-sim's command line.
#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace qel::sim {

// Mixed answers, chosen by the order's receipt number (Dwbelegnr) modulo the
// sum of the four shares: the first `accepted` numbers of each cycle are
// accepted, the next `refused` refused (Rect 4), the next `failed` answered
// with status 500 and a SOAP fault, and the last `silent` not answered within
// the connector's time-out.
struct AnswerMix {
  int accepted = 0;
  int refused = 0;
  int failed = 0;
  int silent = 0;
};

struct SimOptions {
  int port = -1;  // 0 picks a free port
  std::optional<std::string> certFile;
  std::optional<std::string> keyFile;
  // The one TLS version served ("1.1", "1.2" or "1.3"); unset: whatever the
  // TLS library allows.
  std::optional<std::string> tlsVersion;
  std::optional<std::string> user;
  std::optional<std::string> password;
  int rect = 0;
  std::string rectmsg;  // UTF-8
  std::string prefix = "n0";
  int status = 200;
  // The body of every answer to a good request, sent as it is; without it a
  // status of 400 or more gets a SOAP fault, any other the sales response.
  std::optional<std::string> bodyFile;
  double delaySeconds = 0.0;
  std::optional<std::string> recordDir;
  std::optional<AnswerMix> mix;
  // Where every order answered with Rect 0 is booked, one JSON line each.
  std::optional<std::string> ledgerFile;
  // Relay mode: forward every request to this URL and record both sides
  // instead of answering; the options of the answer above do not apply.
  std::optional<std::string> relayUrl;
  // PEM file of the CAs that the relay trusts for an HTTPS cash register;
  // without it the system's store applies.
  std::optional<std::string> relayCaFile;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads "A:R:E:T" into `mix`; false unless each share is a whole number from
// 0 to 1000000 and one of them is above 0.
bool parseMix(const std::string& text, AnswerMix& mix);

// Writes the help asked for to `out` and returns nothing; throws UsageError
// with a one-line reason for anything it cannot accept.
std::optional<SimOptions> parseOptions(int argc, const char* const argv[], std::ostream& out);

}  // namespace qel::sim
