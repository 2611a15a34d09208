// qelhost trace over a rotated pair of files, as a table and as JSON Lines:
// each transaction once, its outcome wherever its lines ended up.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/utc_time.h"
#include "tests/support/scratch_dir.h"
#include "tools/qelhost/local_time.h"
#include "tools/qelhost/trace_command.h"

namespace qel::qelhost {
namespace {

std::string traceLine(const std::string& id, int receipt, const std::string& outcome, const std::string& rest = "") {
  return "{\"time\":\"2026-12-07T10:00:0" + id + ".000Z\",\"version\":\"1.1.0\",\"id\":\"" + id +
         "\",\"kind\":\"sale\",\"orderId\":4711,\"receipt\":" + std::to_string(receipt) +
         ",\"total\":42.50,\"terminalId\":\"4711\",\"url\":\"http://k/\",\"outcome\":\"" + outcome + "\"" + rest +
         "}\n";
}

void writeFile(const char* name, const std::string& content) { std::ofstream(name, std::ios::binary) << content; }

class TraceCommand : public ::testing::Test {
 protected:
  // A sale rotated away between its two lines (1), one whose lines both went
  // (2), one that never got its outcome line (3), and two in the new file.
  void SetUp() override {
    writeFile("QelConnect.trace.1", traceLine("1", 101, "sending") + traceLine("2", 102, "sending") +
                                        traceLine("2", 102, "accepted", ",\"httpStatus\":200") +
                                        traceLine("3", 103, "sending"));
    writeFile(
        "QelConnect.trace",
        traceLine("1", 101, "accepted-not-printed", ",\"httpStatus\":200") + traceLine("4", 104, "sending") +
            traceLine("4", 104, "in-doubt", ",\"message\":\"Unexpected HTTP Status code 502\",\"httpStatus\":502"));
  }

  static std::vector<nlohmann::json> jsonLines(const TraceQuery& query) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_TRUE(printTraceJson(query, out, err));
    EXPECT_EQ(err.str(), "");
    std::vector<nlohmann::json> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }

  static nlohmann::json expected(const char* id, int receipt, const char* outcome, nlohmann::json status,
                                 nlohmann::json message) {
    return {{"id", id},
            {"kind", "sale"},
            {"receipt", receipt},
            {"outcome", outcome},
            {"time", std::string("2026-12-07T10:00:0") + id + ".000Z"},
            {"httpStatus", status},
            {"message", message}};
  }

  test::ScratchDir dir_;
};

TEST_F(TraceCommand, JsonLinesNameEachTransactionOnce) {
  const nlohmann::json two = expected("2", 102, "accepted", 200, nullptr);
  const nlohmann::json three = expected("3", 103, "sending", nullptr, nullptr);
  const nlohmann::json one = expected("1", 101, "accepted-not-printed", 200, nullptr);
  const nlohmann::json four = expected("4", 104, "in-doubt", 502, "Unexpected HTTP Status code 502");
  EXPECT_EQ(jsonLines({}), (std::vector<nlohmann::json>{two, three, one, four}));
  EXPECT_EQ(jsonLines({0, true}), (std::vector<nlohmann::json>{three, four}));
  EXPECT_EQ(jsonLines({1, false}), (std::vector<nlohmann::json>{four}));
}

TEST_F(TraceCommand, TableSaysWhenNoOutcomeLineWasWritten) {
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_TRUE(printTrace({}, out, err));
  // The local-time column is pinned by the local-time tests; here it only
  // has to stand between the UTC time and the kind.
  const auto local = [](const char* second) {
    const std::string text = localTimeText(*parseIsoUtc(std::string("2026-12-07T10:00:0") + second + ".000Z"));
    return text + std::string(21 - text.size(), ' ');
  };
  EXPECT_EQ(out.str(),
            "time (UTC)               local time           kind      receipt      total  outcome              message\n"
            "2026-12-07T10:00:02.000Z " +
                local("2") + "sale          102      42.50  accepted\n" + "2026-12-07T10:00:03.000Z " + local("3") +
                "sale          103      42.50  in-doubt             "
                "No outcome line was written.\n" +
                "2026-12-07T10:00:01.000Z " + local("1") + "sale          101      42.50  accepted-not-printed\n" +
                "2026-12-07T10:00:04.000Z " + local("4") +
                "sale          104      42.50  in-doubt             "
                "Unexpected HTTP Status code 502\n");
}

TEST_F(TraceCommand, NoTraceIsSaidOnceAndFails) {
  std::remove("QelConnect.trace");
  std::remove("QelConnect.trace.1");
  for (const bool json : {false, true}) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_FALSE(json ? printTraceJson({}, out, err) : printTrace({}, out, err));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(),
              "No QelConnect.trace in this folder. The trace is written only when QelConnect.xml holds\n"
              "<diagnostics><trace>1</trace></diagnostics>.\n");
  }
}

}  // namespace
}  // namespace qel::qelhost
