// The proxy's plan: shares as given on the command line, each one's limits,
// and choices that follow the seed and match the shares.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "tools/fault-proxy/fault_plan.h"

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

TEST(FaultPlan, ChoicesFollowTheSeedAndTheShares) {
  const std::string shares = "pass=70,refuse=4,close-before=4,close-after=4,delay=2,cut=4,502=4,504=4,reset-body=4";
  const FaultPlan plan(7, shares);
  const FaultPlan again(7, shares);
  const FaultPlan other(8, shares);
  std::map<Fault, int> counts;
  int differ = 0;
  const int connections = 100000;
  for (int i = 0; i < connections; ++i) {
    ASSERT_EQ(plan.choose(i), again.choose(i));
    differ += plan.choose(i) != other.choose(i) ? 1 : 0;
    ++counts[plan.choose(i)];
  }
  EXPECT_GT(differ, connections / 4);
  const std::map<Fault, int> expected = {{Fault::Pass, 70},      {Fault::Refuse, 4},    {Fault::CloseBefore, 4},
                                         {Fault::CloseAfter, 4}, {Fault::Delay, 2},     {Fault::CutAnswer, 4},
                                         {Fault::Answer502, 4},  {Fault::Answer504, 4}, {Fault::ResetInBody, 4}};
  for (const auto& [fault, percent] : expected) {
    EXPECT_NEAR(counts[fault], percent * connections / 100, connections / 200) << faultName(fault);
  }
  // A kind without a share is never chosen.
  const FaultPlan only(7, "pass=0,cut=1");
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(only.choose(i), Fault::CutAnswer);
}

}  // namespace
}  // namespace qel::proxy
