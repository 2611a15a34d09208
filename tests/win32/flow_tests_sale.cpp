// hrECExecute through QelConnect.dll under Wine, the case that only Windows
// sharing can set up: a log that another program holds open. The cases that
// both targets run are in tests/host/flow_cases_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/host/flow_fixture.h"

namespace qel::test {
namespace {

// A file held open by the test, with the given sharing for everyone else.
class HeldFile {
 public:
  HeldFile(const wchar_t* name, DWORD share)
      : handle_(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~HeldFile() {
    if (isOpen()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

using SaleFlowDll = FlowTest;

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
