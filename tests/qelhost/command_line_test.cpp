// qelhost's and kasse-sim's command lines: what each accepts, and that every
// line they refuse is refused (a UsageError, which both turn into exit 2).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/qelhost/command_line.h"

namespace qel::qelhost {
namespace {

struct Accepted {
  std::vector<std::string> args;
  Command command;
  std::string orderFile;
  std::string workdir;
  bool init;
  bool hold;
  int prefill;
  std::size_t last;
  bool userScope;
};

TEST(QelhostCommandLine, ReadsEveryOptionWhereItBelongs) {
  const Accepted cases[] = {
      {{"sale.json"}, Command::Sale, "sale.json", "", true, false, 0, 0, false},
      {{"--no-init", "--prefill", "255", "--workdir", "Kasse \xC3\x9C\xE2\x82\xAC", "r.json"},
       Command::Sale,
       "r.json",
       "Kasse \xC3\x9C\xE2\x82\xAC",
       false,
       false,
       255,
       0,
       false},
      {{"--hold", "--prefill", "010", "s.json"}, Command::Sale, "s.json", "", true, true, 10, 0, false},
      {{"--prefill=0", "--workdir=/tmp/k", "/tmp/s.json"},
       Command::Sale,
       "/tmp/s.json",
       "/tmp/k",
       true,
       false,
       0,
       0,
       false},
      {{"--workdir", "/w", "trace", "--last", "08"}, Command::Trace, "", "/w", true, false, 0, 8, false},
      {{"--version", "--library", "x.dll"}, Command::Version, "", "", true, false, 0, 0, false},
      {{"--workdir", "w", "check"}, Command::Check, "", "w", true, false, 0, 0, false},
      {{"check", "--workdir", "w"}, Command::Check, "", "w", true, false, 0, 0, false},
      {{"trace", "--last", "1", "--in-doubt"}, Command::Trace, "", "", true, false, 0, 1, false},
      {{"pending", "--workdir", "w", "--json"}, Command::Pending, "", "w", true, false, 0, 0, false},
      {{"protect-password", "--user-scope"}, Command::ProtectPassword, "", "", true, false, 0, 0, true},
      {{"verify", "--library", "/opt/q/libQelConnect.so"}, Command::Verify, "", "", true, false, 0, 0, false},
  };
  for (const Accepted& c : cases) {
    std::ostringstream help;
    const std::optional<Options> options = parseCommandLine(c.args, help);
    // --receipt only where given (below).
    ASSERT_TRUE(options.has_value()) << c.args[0];
    EXPECT_FALSE(options->receipt.has_value());
    ASSERT_TRUE(options.has_value()) << c.args[0];
    EXPECT_EQ(options->command, c.command) << c.args[0];
    EXPECT_EQ(options->orderFile, c.orderFile);
    EXPECT_EQ(options->workdir, c.workdir);
    EXPECT_EQ(options->init, c.init);
    EXPECT_EQ(options->hold, c.hold);
    EXPECT_EQ(options->prefill, c.prefill);
    EXPECT_EQ(options->traceQuery.last, c.last);
    EXPECT_EQ(options->userScope, c.userScope);
    EXPECT_EQ(help.str(), "");
  }
}

// A receipt of its own for each workstation's test sale: decimal, 1 to the
// largest receipt number the host's record holds.
TEST(QelhostCommandLine, ReceiptReplacesTheOrderFilesOwn) {
  const struct {
    const char* value;
    std::optional<std::uint32_t> receipt;
  } cases[] = {{"1", 1},
               {"0100235", 100235},
               {"2147483647", 2147483647},
               {"0", std::nullopt},
               {"2147483648", std::nullopt},
               {"0x10", std::nullopt},
               {"-1", std::nullopt}};
  for (const auto& c : cases) {
    std::ostringstream help;
    if (!c.receipt) {
      EXPECT_THROW(parseCommandLine({"--receipt", c.value, "s.json"}, help), UsageError) << c.value;
      continue;
    }
    const std::optional<Options> options = parseCommandLine({"--receipt", c.value, "s.json"}, help);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->receipt, c.receipt) << c.value;
  }
}

TEST(QelhostCommandLine, AnswersAreReadInOrder) {
  std::ostringstream help;
  const std::optional<Options> options = parseCommandLine({"--answers", "OK,yes,cancel,no", "s.json"}, help);
  ASSERT_TRUE(options.has_value());
  EXPECT_EQ(options->answers,
            (std::vector<DialogAnswer>{DialogAnswer::Ok, DialogAnswer::Yes, DialogAnswer::Cancel, DialogAnswer::No}));
}

// Each option with the value it takes in one column, a flag without one.
TEST(QelhostCommandLine, HelpIsWrittenAndNothingRuns) {
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"--help"}, "\n  --prefill BYTE        fill the result record with BYTE (0-255) before the call\n"},
      {{"--help"}, "\n  --no-init             skip hrECInit, so that QelConnect.log keeps its entries\n"},
      {{"trace", "-h"}, "\n  --last N              only the last N entries\n"},
  };
  for (const auto& c : cases) {
    std::ostringstream help;
    EXPECT_FALSE(parseCommandLine(c.args, help).has_value());
    EXPECT_NE(help.str().find(c.line), std::string::npos) << help.str();
    EXPECT_NE(help.str().find("exit codes:\n  0  "), std::string::npos) << c.args[0];
  }
}

TEST(QelhostCommandLine, RefusesWhatDoesNotFit) {
  const std::vector<std::string> refused[] = {
      {},
      {"--workdir", "", "s.json"},
      {"--workdir=", "s.json"},
      {"--library=", "--version"},
      {"--library", "", "s.json"},
      {"--prefill", "0x10", "s.json"},
      {"--prefill", "1e2", "s.json"},
      {"--prefill", "+5", "s.json"},
      {"--prefill", " 5", "s.json"},
      {"trace", "--last", "nan"},
      {"trace", "--last", "-1"},
      {"/workdir:w", "s.json"},
      {"--prefill", "256", "s.json"},
      {"--prefill", "-1", "s.json"},
      {"--answers", "ok,maybe", "s.json"},
      {"--bogus", "s.json"},
      {"a.json", "b.json"},
      {"--library"},
      {"--version", "s.json"},
      {"--version", "--workdir", "w"},
      {"--library", "x", "check"},
      {"check", "s.json"},
      {"check", "--no-init"},
      {"trace", "--last", "0"},
      {"--last", "3", "s.json"},
      {"--in-doubt", "s.json"},
      {"trace", "--answers", "ok"},
      {"pending", "s.json"},
      {"pending", "--last", "1"},
      {"protect-password", "--workdir", "w"},
      {"protect-password", "extra"},
      {"verify", "s.json"},
      {"verify", "--workdir", "w"},
      {"check", "--receipt", "5"},
      {"--version", "--receipt", "5"},
  };
  for (const std::vector<std::string>& args : refused) {
    std::ostringstream help;
    EXPECT_THROW(parseCommandLine(args, help), UsageError) << (args.empty() ? "(none)" : args[0]);
  }
}

// What the refusal says, for the values a site gets wrong.
TEST(QelhostCommandLine, RefusalsNameTheValue) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--workdir=", "s.json"}, "--workdir: must not be empty"},
      {{"--workdir", "", "s.json"}, "--workdir: must not be empty"},
      {{"--prefill", "0x10", "s.json"}, "--prefill: 0x10 is not a decimal number"},
      {{"trace", "--last", "nan"}, "--last: nan is not a decimal number"},
      {{"--prefill", "0256", "s.json"}, "--prefill: Value 256 not in range 0 to 255"},
  };
  for (const auto& c : cases) {
    std::ostringstream help;
    try {
      parseCommandLine(c.args, help);
      ADD_FAILURE() << c.message;
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace qel::qelhost
