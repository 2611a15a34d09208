// kasse-sim's command line as one CLI11 table: each option with its value's
// rule, and which options go together or not beside it.
#include "tools/kasse-sim/sim_options.h"

#include <cctype>
#include <charconv>

#include <CLI/CLI.hpp>

#include "tools/cli/decimal.h"
#include "tools/cli/help_formatter.h"

namespace qel::sim {

const char kDescription[] =
    "A stand-in for the cash register's SOAP service on 127.0.0.1, or with --relay a recording\n"
    "relay in front of a real one. Stop with Ctrl+C (SIGINT) or SIGTERM.";

namespace {

std::string checkMixText(std::string& text) {
  AnswerMix mix;
  return parseMix(text, mix) ? std::string() : "needs four shares A:R:E:T (0 to 1000000, one above 0)";
}

std::string checkRelayUrl(std::string& text) {
  std::string scheme = text.substr(0, text.find("://"));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool web = text.find("://") != std::string::npos && (scheme == "http" || scheme == "https");
  return web ? std::string() : "needs an http:// or https:// URL";
}

}  // namespace

bool parseMix(const std::string& text, AnswerMix& mix) {
  int* shares[] = {&mix.accepted, &mix.refused, &mix.failed, &mix.silent};
  std::size_t start = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t colon = text.find(':', start);
    if ((i < 3) != (colon != std::string::npos)) return false;
    const std::string share = text.substr(start, colon - start);
    unsigned long value = 0;
    const char* end = share.data() + share.size();
    const std::from_chars_result read = std::from_chars(share.data(), end, value);
    if (share.empty() || read.ec != std::errc() || read.ptr != end || value > 1000000) return false;
    *shares[i] = static_cast<int>(value);
    start = colon + 1;
  }
  return mix.accepted + mix.refused + mix.failed + mix.silent > 0;
}

std::optional<SimOptions> parseOptions(int argc, const char* const argv[], std::ostream& out) {
  SimOptions options;
  std::vector<std::string> tls;
  std::string mix;
  CLI::App app{kDescription, "kasse-sim"};
  cli::useHelpFormatter(app);
  // An option given twice counts with its last value, as callers that add to
  // a stock command line expect.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  // The cash register's answer: options that a relay does not take.
  std::vector<CLI::Option*> answer;
  auto answerOption = [&](CLI::Option* option) {
    answer.push_back(option);
    return option;
  };

  app.add_option("--port", options.port,
                 "port on 127.0.0.1; 0 picks a free one. The port is printed on the\nfirst line.")
      ->type_name("N")
      ->required()
      ->transform(cli::decimalInteger())
      ->check(CLI::Range(0, 65535).description(""));
  CLI::Option* tlsOption = app.add_option("--tls", tls, "serve HTTPS with this PEM certificate (chain) and key")
                               ->type_name("CERT KEY")
                               ->expected(2)
                               ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  app.add_option("--tls-version", options.tlsVersion,
                 "serve TLS version V only: 1.1, 1.2 or 1.3 (default: what OpenSSL\nallows)")
      ->type_name("V")
      ->check(CLI::IsMember({"1.1", "1.2", "1.3"}).description(""))
      ->needs(tlsOption);
  CLI::Option* user =
      answerOption(app.add_option("--user", options.user, "require these HTTP Basic credentials")->type_name("U"));
  CLI::Option* password =
      answerOption(app.add_option("--password", options.password, "(401 otherwise)")->type_name("P"));
  user->needs(password);
  password->needs(user);
  answerOption(app.add_option("--rect", options.rect, "Rect of every answer (0 accepts the order; default 0)")
                   ->type_name("N")
                   ->transform(cli::decimalInteger(true)));
  answerOption(app.add_option("--rectmsg", options.rectmsg, "Rectmsg of every answer (UTF-8; default empty)"));
  answerOption(app.add_option("--prefix", options.prefix, "prefix of the response element, n0 (default) or ns1")
                   ->type_name("P")
                   ->check(CLI::IsMember({"n0", "ns1"}).description("")));
  answerOption(app.add_option("--status", options.status,
                              "HTTP status of the answer to a good request (default 200); from\n"
                              "400 on the answer is a SOAP 1.2 fault")
                   ->type_name("CODE")
                   ->transform(cli::decimalInteger())
                   ->check(CLI::Range(100, 599).description("")));
  answerOption(app.add_option("--body", options.bodyFile, "send FILE as the body of the answer to a good request")
                   ->type_name("FILE"));
  answerOption(
      app.add_option("--delay", options.delaySeconds, "wait this long before answering (0 to 3600, fractions allowed)")
          ->type_name("SECONDS")
          ->transform(cli::decimalFraction())
          ->check(CLI::Range(0.0, 3600.0).description("")));
  answerOption(app.add_option("--mix", mix,
                              "mixed answers by the order's Dwbelegnr modulo A+R+E+T: the first A\n"
                              "of each cycle accepted, R refused (Rect 4), E status 500 with a SOAP\n"
                              "fault, T not answered for 8 seconds (the connector gives up after 6)")
                   ->type_name("A:R:E:T")
                   ->check(CLI::Validator(checkMixText, "", "mix")));
  answerOption(app.add_option("--ledger", options.ledgerFile,
                              "append a JSON line to FILE for every order booked (answered with\n"
                              "Rect 0), before the answer goes out")
                   ->type_name("FILE"));
  CLI::Option* record =
      app.add_option("--record", options.recordDir, "write each request's headers and body to files in DIR")
          ->type_name("DIR");
  CLI::Option* relay = app.add_option("--relay", options.relayUrl,
                                      "check nothing and answer nothing: forward each request to the cash\n"
                                      "register at exactly URL (http or https) and return its answer\n"
                                      "unchanged; --record keeps both sides, the Authorization header masked")
                           ->type_name("URL")
                           ->check(CLI::Validator(checkRelayUrl, "", "relay"))
                           ->needs(record);
  for (CLI::Option* option : answer) relay->excludes(option);
  app.add_option("--relay-ca", options.relayCaFile,
                 "PEM file of the CAs that the cash register's certificate must chain\n"
                 "to (default: the system's store)")
      ->type_name("FILE")
      ->needs(relay);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return std::nullopt;
  } catch (const CLI::ParseError& e) {
    throw UsageError(e.what());
  }
  if (tls.size() == 2) {
    options.certFile = tls[0];
    options.keyFile = tls[1];
  }
  if (!mix.empty()) parseMix(mix, options.mix.emplace());
  return options;
}

}  // namespace qel::sim
