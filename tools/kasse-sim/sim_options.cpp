// Parsing kasse-sim's command line.
#include "tools/kasse-sim/sim_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace qel::sim {

const char kUsage[] =
    "usage: kasse-sim --port N [--tls CERT KEY [--tls-version V]] [--user U --password P] [--rect N]\n"
    "                 [--rectmsg TEXT] [--prefix n0|ns1] [--status CODE] [--body FILE] [--delay SECONDS]\n"
    "                 [--record DIR] [--mix A:R:E:T] [--ledger FILE]\n"
    "       kasse-sim --port N [--tls CERT KEY] --relay URL [--relay-ca FILE] --record DIR\n"
    "  --port N         port on 127.0.0.1; 0 picks a free one. The port is printed on the first line.\n"
    "  --tls CERT KEY   serve HTTPS with this PEM certificate (chain) and key\n"
    "  --tls-version V  serve TLS version V only: 1.1, 1.2 or 1.3 (default: what OpenSSL allows)\n"
    "  --user/--password  require these HTTP Basic credentials (401 otherwise)\n"
    "  --rect N         Rect of every answer (0 accepts the order; default 0)\n"
    "  --rectmsg TEXT   Rectmsg of every answer (UTF-8; default empty)\n"
    "  --prefix P       prefix of the response element, n0 (default) or ns1\n"
    "  --status CODE    HTTP status of the answer to a good request (default 200); from 400 on\n"
    "                   the answer is a SOAP 1.2 fault\n"
    "  --body FILE      send FILE as the body of the answer to a good request, as it is\n"
    "  --delay SECONDS  wait this long before answering (fractions allowed)\n"
    "  --record DIR     write each request's headers and body to files in DIR\n"
    "  --mix A:R:E:T    mixed answers by the order's Dwbelegnr modulo A+R+E+T: the first A of each\n"
    "                   cycle accepted, R refused (Rect 4), E status 500 with a SOAP fault, T not\n"
    "                   answered for 8 seconds (the connector gives up after 6)\n"
    "  --ledger FILE    append a JSON line to FILE for every order booked (answered with Rect 0),\n"
    "                   before the answer goes out\n"
    "  --relay URL      check nothing and answer nothing: forward each request to the cash register\n"
    "                   at exactly URL (http or https) and return its answer unchanged; --record\n"
    "                   keeps both sides, the Authorization header masked\n"
    "  --relay-ca FILE  PEM file of the CAs that the cash register's certificate must chain to\n"
    "                   (default: the system's store)\n"
    "Stop with Ctrl+C (SIGINT) or SIGTERM.\n";

namespace {

long parseWhole(std::string_view option, const std::string& text, long low, long high) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
    throw UsageError(std::string(option) + " needs a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

double parseSeconds(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !(value >= 0.0 && value <= 3600.0)) {
    throw UsageError("--delay needs a number of seconds from 0 to 3600, not '" + text + "'");
  }
  return value;
}

AnswerMix parseMix(const std::string& text) {
  AnswerMix mix;
  int* shares[] = {&mix.accepted, &mix.refused, &mix.failed, &mix.silent};
  std::size_t start = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t colon = text.find(':', start);
    if ((i < 3) != (colon != std::string::npos))
      throw UsageError("--mix needs four shares A:R:E:T, not '" + text + "'");
    *shares[i] = static_cast<int>(parseWhole("--mix", text.substr(start, colon - start), 0, 1000000));
    start = colon + 1;
  }
  if (mix.accepted + mix.refused + mix.failed + mix.silent == 0) throw UsageError("--mix needs a share above 0");
  return mix;
}

std::string parseRelayUrl(const std::string& text) {
  std::string scheme = text.substr(0, text.find("://"));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (text.find("://") == std::string::npos || (scheme != "http" && scheme != "https")) {
    throw UsageError("--relay needs an http:// or https:// URL, not '" + text + "'");
  }
  return text;
}

// A relay only passes on what the cash register says, and is only of use
// when it keeps a record.
void checkRelay(const SimOptions& options, const std::string& answerOption) {
  if (!options.relayUrl) {
    if (options.relayCaFile) throw UsageError("--relay-ca goes with --relay");
    return;
  }
  if (!answerOption.empty()) {
    throw UsageError("--relay does not go with " + answerOption + ": the cash register at the URL answers");
  }
  if (!options.recordDir) throw UsageError("--relay needs --record DIR");
}

}  // namespace

SimOptions parseOptions(int argc, const char* const argv[]) {
  SimOptions options;
  // The first option that shapes a simulated answer, which a relay does not
  // give.
  std::string answerOption;
  int i = 1;
  auto next = [&](std::string_view option) -> std::string {
    if (i + 1 >= argc) throw UsageError(std::string(option) + " needs a value");
    return argv[++i];
  };
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (answerOption.empty() &&
        (arg == "--user" || arg == "--password" || arg == "--rect" || arg == "--rectmsg" || arg == "--prefix" ||
         arg == "--status" || arg == "--body" || arg == "--delay" || arg == "--mix" || arg == "--ledger")) {
      answerOption = arg;
    }
    if (arg == "--port") {
      options.port = static_cast<int>(parseWhole(arg, next(arg), 0, 65535));
    } else if (arg == "--tls") {
      options.certFile = next(arg);
      options.keyFile = next(arg);
    } else if (arg == "--tls-version") {
      options.tlsVersion = next(arg);
      if (*options.tlsVersion != "1.1" && *options.tlsVersion != "1.2" && *options.tlsVersion != "1.3") {
        throw UsageError("--tls-version must be 1.1, 1.2 or 1.3");
      }
    } else if (arg == "--user") {
      options.user = next(arg);
    } else if (arg == "--password") {
      options.password = next(arg);
    } else if (arg == "--rect") {
      options.rect = static_cast<int>(parseWhole(arg, next(arg), -2147483647L - 1, 2147483647L));
    } else if (arg == "--rectmsg") {
      options.rectmsg = next(arg);
    } else if (arg == "--prefix") {
      options.prefix = next(arg);
      if (options.prefix != "n0" && options.prefix != "ns1") throw UsageError("--prefix must be n0 or ns1");
    } else if (arg == "--status") {
      options.status = static_cast<int>(parseWhole(arg, next(arg), 100, 599));
    } else if (arg == "--body") {
      options.bodyFile = next(arg);
    } else if (arg == "--delay") {
      options.delaySeconds = parseSeconds(next(arg));
    } else if (arg == "--record") {
      options.recordDir = next(arg);
    } else if (arg == "--mix") {
      options.mix = parseMix(next(arg));
    } else if (arg == "--ledger") {
      options.ledgerFile = next(arg);
    } else if (arg == "--relay") {
      options.relayUrl = parseRelayUrl(next(arg));
    } else if (arg == "--relay-ca") {
      options.relayCaFile = next(arg);
    } else {
      throw UsageError("unknown option '" + std::string(arg) + "'");
    }
  }
  if (options.port < 0) throw UsageError("--port is required");
  if (options.user.has_value() != options.password.has_value()) {
    throw UsageError("--user and --password go together");
  }
  if (options.tlsVersion && !options.certFile) throw UsageError("--tls-version goes with --tls");
  checkRelay(options, answerOption);
  return options;
}

}  // namespace qel::sim
