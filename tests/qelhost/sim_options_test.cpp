// kasse-sim's command line: its values at their limits and one past them,
// and the options that need or exclude each other.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/kasse-sim/sim_options.h"

namespace qel::sim {
namespace {

std::optional<SimOptions> parse(std::vector<std::string> args) {
  args.insert(args.begin(), "kasse-sim");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream help;
  return parseOptions(static_cast<int>(argv.size()), argv.data(), help);
}

TEST(SimOptions, AcceptsEachValueAtItsLimits) {
  const std::optional<SimOptions> a =
      parse({"--port", "65535",    "--status", "599",           "--delay",    "3600",   "--mix", "1000000:0:0:0",
             "--tls",  "c",        "k",        "--tls-version", "1.3",        "--user", "u",     "--password",
             "p",      "--prefix", "ns1",      "--rect",        "-2147483648"});
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->port, 65535);
  EXPECT_EQ(a->status, 599);
  EXPECT_EQ(a->delaySeconds, 3600.0);
  ASSERT_TRUE(a->mix.has_value());
  EXPECT_EQ(a->mix->accepted, 1000000);
  EXPECT_EQ(a->certFile.value_or(""), "c");
  EXPECT_EQ(a->keyFile.value_or(""), "k");
  EXPECT_EQ(a->tlsVersion.value_or(""), "1.3");
  EXPECT_EQ(a->prefix, "ns1");
  EXPECT_EQ(a->rect, -2147483647 - 1);

  const std::optional<SimOptions> b =
      parse({"--port", "0", "--relay", "HTTPS://x", "--record", "d", "--relay-ca", "ca.pem"});
  ASSERT_TRUE(b.has_value());
  EXPECT_EQ(b->port, 0);
  EXPECT_EQ(b->relayUrl.value_or(""), "HTTPS://x");
  EXPECT_EQ(b->relayCaFile.value_or(""), "ca.pem");

  const std::optional<SimOptions> c =
      parse({"--port", "010", "--status", "0100", "--mix", "01000000:1:2:3", "--delay", "0", "--rect", "-010"});
  ASSERT_TRUE(c.has_value());
  // Numbers are decimal: a leading zero does not make them octal.
  EXPECT_EQ(c->port, 10);
  EXPECT_EQ(c->rect, -10);
  EXPECT_EQ(c->status, 100);
  EXPECT_EQ(c->mix->accepted, 1000000);
  EXPECT_EQ(c->mix->silent, 3);
}

TEST(SimOptions, HelpShowsEachOptionWithItsValue) {
  const char* argv[] = {"kasse-sim", "--help"};
  std::ostringstream help;
  EXPECT_FALSE(parseOptions(2, argv, help).has_value());
  EXPECT_NE(help.str().find("\n  --port N (required)   port on 127.0.0.1;"), std::string::npos) << help.str();
  EXPECT_NE(help.str().find("\n  --tls CERT KEY        serve HTTPS"), std::string::npos) << help.str();
}

TEST(SimOptions, RefusesWhatDoesNotFit) {
  const std::vector<std::string> refused[] = {
      {},
      {"--port", "65536"},
      {"--port", "-1"},
      {"--port", "1", "--status", "600"},
      {"--port", "1", "--status", "99"},
      {"--port", "1", "--delay", "3600.5"},
      {"--port", "1", "--delay", "-0.5"},
      {"--port", "1", "--delay", "nan"},
      {"--port", "1", "--delay", "1."},
      {"--port", "1", "--delay", ".5"},
      {"--port", "1", "--delay", "."},
      {"--port", "1", "--delay", "inf"},
      {"--port", "1", "--delay", "1e2"},
      {"--port", "1", "--delay", "0x10"},
      {"--port", "0x10"},
      {"--port", "1", "--rect", "1x"},
      {"--port", "1", "--status", "+200"},
      {"--port", "1", "--mix", "1000001:0:0:0"},
      {"--port", "1", "--mix", "0:0:0:0"},
      {"--port", "1", "--mix", "1:2:3"},
      {"--port", "1", "--mix", "1:2:3:4:5"},
      {"--port", "1", "--mix", "1:+2:3:4"},
      {"--port", "1", "--mix", "99999999999999999999:1:0:0"},
      {"--port", "1", "--tls", "c"},
      {"--port", "1", "--tls-version", "1.2"},
      {"--port", "1", "--tls", "c", "k", "--tls-version", "1.0"},
      {"--port", "1", "--user", "u"},
      {"--port", "1", "--password", "p"},
      {"--port", "1", "--prefix", "n1"},
      {"--port", "1", "--relay", "ftp://x", "--record", "d"},
      {"--port", "1", "--relay", "http://x"},
      {"--port", "1", "--relay", "http://x", "--record", "d", "--rect", "1"},
      {"--port", "1", "--relay", "http://x", "--record", "d", "--mix", "1:0:0:0"},
      {"--port", "1", "--relay-ca", "ca.pem"},
      {"--port", "1", "--bogus"},
  };
  for (const std::vector<std::string>& args : refused) {
    EXPECT_THROW(parse(args), UsageError) << (args.size() > 2 ? args[2] : "(port)");
  }
}

}  // namespace
}  // namespace qel::sim
