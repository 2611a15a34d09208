// hrECExecute through QelConnect.dll under Wine, the case that only Windows
// sharing can set up: a log that another program holds open. The cases that
// both targets run are in tests/host/flow_cases_test.cpp.
#include <gtest/gtest.h>

#include "tests/win32/flow_tests_fixture.h"

namespace qel::test {
namespace {

using SaleFlowDll = DllFlowTest;

// Another program holding the log open without any sharing costs the entry
// and nothing else.
TEST_F(SaleFlowDll, ALogLockedByAnotherProgramCostsOnlyTheEntry) {
  acceptingKasse();
  {
    HeldFile locked(L"QelConnect.log", 0);
    ASSERT_TRUE(locked.isOpen());
    EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_EQ(dialogs().size(), 2u) << "no error box for the log";
    EXPECT_EQ(requestCount(), 1u);
    EXPECT_TRUE(result_ == expectedResult(42.5));
  }
  EXPECT_EQ(readFile("QelConnect.log"), "");

  // A viewer that shares the file does not stand in the way.
  HeldFile viewer(L"QelConnect.log", FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(viewer.isOpen());
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

}  // namespace
}  // namespace qel::test
