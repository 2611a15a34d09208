// Two box-office threads selling through one library at once: every sale
// completes and the host's SIGPIPE handler stays its own throughout. Built
// also with ThreadSanitizer, which then checks the library's shared state.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "host/qelconnect.h"
#include "hostkit/host_sale.h"
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
  for (std::atomic<int>& count : completed) {
    sellers.emplace_back([&count] {
      const hostkit::HostSale sale(smallSale());
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
  // Both threads traced every sale, one whole line each.
  const std::string trace = readFile("QelConnect.trace");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 2 * kSalesPerThread);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '{'), 4 * kSalesPerThread) << "an entry and its times each";
}

}  // namespace
}  // namespace qel::test
