// Hundreds of sales through the exports, completed and failed, many of them
// with file calls that fail, are interrupted or come back short: whatever a
// sale opens, it closes again.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/qelconnect.h"
#include "tests/faults/fault_server.h"
#include "tests/platform/system_faults.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

// Sales of every kind in each round; some three hundred in all.
constexpr int kRounds = 28;

class Sales {
 public:
  Sales() : sale_(smallSale()) {}

  // Sells once against `kasse` and returns the sale's code; the boxes are
  // answered by the SystemFaults in place.
  std::int32_t sell(const FaultServer& kasse, const char* moreConfig = "") {
    const std::string url = kasse.url();
    std::ofstream("QelConnect.xml", std::ios::binary) << configFor(std::wstring(url.begin(), url.end())) << moreConfig;
    std::ofstream("Sales.ini", std::ios::binary) << "[Kasse]\r\nTerminalID=4711\r\n";
    ResultRecord result;
    result.fill(kResultPattern);
    return hrECExecute(nullptr, nullptr, sale_.record(), paymentType_.data(), nullptr, result.data());
  }

 private:
  boxoffice::HostSale sale_;
  PaymentTypeRecord paymentType_ = paymentType();
};

// Sells once of every kind: completed, refused by the register, and under
// each file fault.
void sellEveryKind(Sales& sales, const FaultServer& kasse, std::atomic<bool>& refuse) {
  for (const bool refused : {false, true}) {
    const SystemFaults faults;
    refuse = refused;
    EXPECT_EQ(sales.sell(kasse), refused ? kNotCompleted : 0) << (refused ? "refused" : "completed");
  }
  refuse = false;
  for (const SaleFault& fault : saleFaults()) {
    SystemFaults faults;
    faults[fault.call] = fault.script;
    EXPECT_EQ(sales.sell(kasse), fault.completes ? 0 : kNotCompleted) << fault.what;
    EXPECT_TRUE(faults.allMet()) << fault.what;
  }
}

TEST(SaleHandles, SalesCloseWhateverTheyOpen) {
  ScratchDir dir;
  Sales sales;
  std::atomic<bool> refuse{false};
  const auto answer = [&refuse](FaultConnection& c) {
    c.send(httpResponse(200, refuse ? kasseAnswer("1", "Abgelehnt") : kasseAnswer("0", "OK"), "application/soap+xml"));
  };
  // The first sales open for good what lives as long as the process (the
  // network stack, the system's message tables); the count starts after
  // them. The server is gone at both counts, so that none of its
  // connections is counted.
  {
    const FaultServer kasse(answer);
    sellEveryKind(sales, kasse, refuse);
  }
  ASSERT_FALSE(::testing::Test::HasFailure());
  const std::size_t before = openHandles();
  {
    const FaultServer kasse(answer);
    for (int round = 0; round < kRounds && !::testing::Test::HasFailure(); ++round) {
      sellEveryKind(sales, kasse, refuse);
    }
  }
  EXPECT_EQ(openHandles(), before) << "sales left descriptors or handles open";
}

// A box that the system cannot show at all is no answer: the first
// question ends the sale before anything is read, as Cancel does; at
// "Tickets drucken?" the booked sale counts as not printed, and its trace
// line says that the question was never shown. Selling that receipt again
// asks whether it is booked; that question not shown sends nothing, as
// Cancel does, and leaves the receipt open.
TEST(SaleBoxes, QuestionThatCannotBeShownIsTraced) {
  ScratchDir dir;
  std::atomic<int> requests{0};
  const FaultServer kasse([&requests](FaultConnection& c) {
    ++requests;
    c.send(httpResponse(200, kasseAnswer("0", "OK"), "application/soap+xml"));
  });
  Sales sales;
  constexpr char kTraceOn[] = "<diagnostics><trace>1</trace></diagnostics>";
  struct Case {
    int boxesShown;                  // before the one that cannot be shown
    int requests;                    // that reached the cash register
    std::vector<std::string> lines;  // what each trace line holds
  };
  const Case cases[] = {
      {0, 0, {}},
      {1, 1, {"\"outcome\":\"sending\"", "\"outcome\":\"accepted-not-printed\",\"boxNotShown\":\"printing\","}},
      {1, 0, {"\"outcome\":\"cancelled\",\"boxNotShown\":\"guard\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.boxesShown);
    std::remove("QelConnect.trace");
    requests = 0;
    SystemFaults faults;
    faults[boxCall()] = failing(0, 1, c.boxesShown);
    EXPECT_EQ(sales.sell(kasse, kTraceOn), kNotCompleted);
    EXPECT_EQ(faults.boxes(), c.boxesShown);
    EXPECT_TRUE(faults.allMet());
    EXPECT_EQ(requests, c.requests);
    std::ifstream traced("QelConnect.trace", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(traced, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_NE(lines[i].find(c.lines[i]), std::string::npos) << lines[i];
  }
}

}  // namespace
}  // namespace qel::test
