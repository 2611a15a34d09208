// Two box-office threads selling through one library at once: every sale
// completes and the host's SIGPIPE handler stays its own throughout. Built
// also with ThreadSanitizer, which then checks the library's shared state.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "boxoffice/host_sale.h"
#include "host/qelconnect.h"
#include "tests/faults/fault_fixture.h"
#include "tests/faults/fault_server.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

constexpr int kSalesPerThread = 15;

void hostsBrokenPipeHandler(int) {}

int answerOk(void*, const wchar_t*, const wchar_t*, unsigned int) { return 1; }

using Handler = void (*)(int);

Handler currentBrokenPipeHandler() {
  struct sigaction now {};
  sigaction(SIGPIPE, nullptr, &now);
  return now.sa_handler;
}

TEST(ConcurrentSaleTest, TwoThreadsSellWithoutTouchingTheHostsSignals) {
  ScratchDir dir;
  FaultServer kasse([](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("0", "OK"))); });
  writeFile("QelConnect.xml", configFor(kasse.url()));

  struct sigaction hosts {};
  hosts.sa_handler = &hostsBrokenPipeHandler;
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGPIPE, &hosts, &previous), 0);
  qelSetDialogHandler(&answerOk);

  // A watcher samples the disposition while the sales run, so that a swap
  // that is undone before the end is seen as well.
  std::atomic<bool> selling{true};
  std::atomic<int> changes{0};
  std::thread watcher([&] {
    while (selling.load()) {
      if (currentBrokenPipeHandler() != &hostsBrokenPipeHandler) changes.fetch_add(1);
    }
  });
  std::array<std::atomic<int>, 2> completed{};
  std::vector<std::thread> sellers;
  // Each thread sells receipts of its own: a receipt whose sale is under
  // way is open in the journal, and another sale of it would be asked about.
  for (std::atomic<int>& count : completed) {
    sellers.emplace_back([&count, receipt = 815 + static_cast<int>(&count - completed.data())] {
      boxoffice::SaleBytes bytes = smallSale();
      bytes.belegnummer = receipt;
      const boxoffice::HostSale sale(bytes);
      const PaymentTypeRecord type = paymentType();
      for (int i = 0; i < kSalesPerThread; ++i) {
        ResultRecord result{};
        if (hrECExecute(nullptr, nullptr, sale.record(), type.data(), nullptr, result.data()) == 0) {
          count.fetch_add(1);
        }
      }
    });
  }
  for (std::thread& seller : sellers) seller.join();
  selling.store(false);
  watcher.join();

  qelSetDialogHandler(nullptr);
  sigaction(SIGPIPE, &previous, nullptr);
  for (const std::atomic<int>& count : completed) EXPECT_EQ(count.load(), kSalesPerThread);
  EXPECT_EQ(changes.load(), 0) << "the host's SIGPIPE handler was replaced during a transfer";
  EXPECT_EQ(kasse.connections(), 2 * kSalesPerThread);
  // Both threads traced every sale, two whole lines each: the one written
  // ahead and the outcome, paired by the sale's own id.
  const std::string trace = readFile("QelConnect.trace");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 4 * kSalesPerThread);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '{'), 6 * kSalesPerThread) << "an entry and its times each";
  std::map<std::string, std::string> ends;
  std::istringstream lines(trace);
  for (std::string line; std::getline(lines, line);) ends[traceText(line, "id")] += traceText(line, "outcome") + ";";
  EXPECT_EQ(ends.size(), static_cast<std::size_t>(2 * kSalesPerThread)) << "one id per sale";
  for (const auto& [id, outcomes] : ends) EXPECT_EQ(outcomes, "sending;accepted;") << id;
}

}  // namespace
}  // namespace qel::test
