// The proxy's plan: shares as given on the command line, each one's limits,
// and choices that follow the seed and match the shares.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "harness/fault-proxy/fault_plan.h"

namespace qel::proxy {
namespace {

TEST(FaultPlan, RefusesSharesItCannotUse) {
  const struct {
    const char* shares;
    const char* reason;  // empty: accepted
  } rows[] = {
      {"pass=1", ""},
      {"pass=1000000", ""},
      {"pass=1000001", "the share of pass must be a whole number from 0 to 1000000, not '1000001'"},
      {"pass=-1", "the share of pass must be a whole number from 0 to 1000000, not '-1'"},
      {"pass=1x", "the share of pass must be a whole number from 0 to 1000000, not '1x'"},
      {"pass=", "the share of pass must be a whole number from 0 to 1000000, not ''"},
      {"pass=0", "every share is 0"},
      {"pass=1,pass=2", "the share of pass is given twice"},
      {"pass=1,drop=2", "unknown fault 'drop'"},
      {"pass", "a share is name=weight, not 'pass'"},
      {"pass=1,", "a share is name=weight, not ''"},
  };
  for (const auto& row : rows) {
    std::string reason;
    try {
      FaultPlan(1, row.shares);
    } catch (const std::invalid_argument& e) {
      reason = e.what();
    }
    EXPECT_EQ(reason, row.reason) << row.shares;
  }
}

TEST(FaultPlan, DescribesEveryKindWithAShare) {
  EXPECT_EQ(FaultPlan(42, "pass=3,delay=0,504=1").describe(), "seed 42; per connection: pass 75.0%, 504 25.0%");
  EXPECT_EQ(FaultPlan(0, "reset-body=1,close-before=1,close-after=2,cut=4,502=1,refuse=1").describe(),
            "seed 0; per connection: refuse 10.0%, close-before 10.0%, close-after 20.0%, cut 40.0%, 502 10.0%, "
            "reset-body 10.0%");
}

TEST(FaultPlan, DefaultChoicesFollowTheSeedAndTheTable) {
  const FaultPlan plan(7);
  const FaultPlan again(7, defaultShares());
  const FaultPlan other(8);
  std::map<Fault, int> counts;
  int differ = 0;
  const int connections = 100000;
  for (int i = 0; i < connections; ++i) {
    ASSERT_EQ(plan.choose(i), again.choose(i));
    differ += plan.choose(i) != other.choose(i) ? 1 : 0;
    ++counts[plan.choose(i)];
  }
  EXPECT_GT(differ, connections / 4);
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    const FaultRow& row = kFaults[i];
    EXPECT_EQ(static_cast<std::size_t>(row.fault), i) << row.name;
    EXPECT_GT(row.share, 0u) << row.name;
    EXPECT_NEAR(counts[row.fault], row.share * connections / 100, connections / 200) << row.name;
    total += row.share;
  }
  EXPECT_EQ(total, 100u);
  EXPECT_EQ(defaultShares(),
            "pass=58,refuse=4,close-before=4,close-after=4,delay=2,cut=4,502=3,503=3,504=3,202=2,204=2,html-500=3,"
            "utf16-500=2,gzip-502=2,reset-body=4");
  // A kind without a share is never chosen.
  const FaultPlan only(7, "pass=0,cut=1");
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(only.choose(i), Fault::CutAnswer);
}

// The answers that replace the cash register's, byte for byte: the status a
// connector must judge, and the bodies with NUL bytes it must quote whole.
TEST(FaultPlan, ReplacementAnswersAreTheirKindsExactly) {
  const std::string page =
      "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>\n"
      "<body><h1>Internal Server Error</h1><p>The server encountered an internal error.</p></body></html>\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : page) utf16 += {c, '\0'};
  const struct {
    Fault fault;
    std::string bytes;
  } rows[] = {
      {Fault::Pass, ""},
      {Fault::Delay, ""},
      {Fault::Answer502,
       "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/plain\r\nContent-Length: 27\r\nConnection: close\r\n\r\n"
       "fault-proxy: simulated 502\n"},
      {Fault::Answer503,
       "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 27\r\nConnection: "
       "close\r\n\r\nfault-proxy: simulated 503\n"},
      {Fault::Answer504,
       "HTTP/1.1 504 Gateway Timeout\r\nContent-Type: text/plain\r\nContent-Length: 27\r\nConnection: close\r\n\r\n"
       "fault-proxy: simulated 504\n"},
      {Fault::Answer202, "HTTP/1.1 202 Accepted\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {Fault::Answer204, "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"},
      {Fault::Html500,
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nContent-Length: 175\r\n"
       "Connection: close\r\n\r\n" +
           page},
      {Fault::Utf16Html500,
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html; charset=utf-16\r\n"
       "Content-Length: 352\r\nConnection: close\r\n\r\n" +
           utf16},
  };
  for (const auto& row : rows) EXPECT_EQ(replacementAnswer(row.fault), row.bytes) << faultName(row.fault);

  const std::string gzip = replacementAnswer(Fault::Gzip502);
  const std::string head =
      "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\nContent-Encoding: gzip\r\nContent-Length: ";
  ASSERT_EQ(gzip.substr(0, head.size()), head);
  const std::size_t bodyAt = gzip.find("\r\n\r\n") + 4;
  const std::string body = gzip.substr(bodyAt);
  EXPECT_EQ(gzip.substr(head.size(), bodyAt - head.size()),
            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(body.substr(0, 3), std::string("\x1f\x8b\x08", 3));  // gzip's magic and deflate
  EXPECT_NE(body.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace qel::proxy
