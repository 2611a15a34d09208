// Files that another program holds locked, and a read-only log, on Windows:
// a QelConnect.xml, Sales.ini or QelConnect.log opened elsewhere without
// sharing, and a QelConnect.log with the read-only attribute.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "tests/faults/fault_fixture.h"
#include "tests/faults/fault_server.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

// A file held open without any sharing, as an editor or a backup program
// may hold it: nobody else can open it while this lives.
class ExclusiveHandle {
 public:
  explicit ExclusiveHandle(const wchar_t* name)
      : handle_(
            CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ExclusiveHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ExclusiveHandle(const ExclusiveHandle&) = delete;
  ExclusiveHandle& operator=(const ExclusiveHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class LockFaultTest : public FaultTest {
 protected:
  void TearDown() override { SetFileAttributesW(L"QelConnect.log", FILE_ATTRIBUTE_NORMAL); }
};

TEST_F(LockFaultTest, LockedConfigurationFailsTheSale) {
  startKasse();
  ExclusiveHandle lock(L"QelConnect.xml");
  ASSERT_TRUE(lock.valid());
  const CallOutcome outcome = sell();
  EXPECT_TRUE(startsWith(expectFailedSale(outcome), L"Could not load configuration file 'QelConnect.xml'."));
  EXPECT_EQ(kasse_->connections(), 0) << "nothing may be sent";
}

// A Sales.ini that stays locked may hold another terminal number: the sale
// stops with the system's reason instead of going out under the default. A
// lock let go while the read is tried again lets the sale through with the
// file's number.
TEST_F(LockFaultTest, LockedSalesIniIsWaitedForThenStopsTheSale) {
  startKasse();
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=4711\r\n");
  {
    ExclusiveHandle lock(L"Sales.ini");
    ASSERT_TRUE(lock.valid());
    const std::wstring text = expectSaleStoppedBeforeSending(sell());
    const std::wstring code = L" (32)";  // ERROR_SHARING_VIOLATION
    EXPECT_TRUE(startsWith(text, L"Could not read file 'Sales.ini': ")) << std::string(text.begin(), text.end());
    EXPECT_TRUE(text.size() > code.size() && text.compare(text.size() - code.size(), code.size(), code) == 0);
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos) << "the system's line break stays out";
  }
  auto lock = std::make_unique<ExclusiveHandle>(L"Sales.ini");
  ASSERT_TRUE(lock->valid());
  std::thread release([&lock] {
    Sleep(200);
    lock.reset();
  });
  const CallOutcome outcome = sell();
  release.join();
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  EXPECT_EQ(sentTerminalId(), "4711");
}

TEST_F(LockFaultTest, LockedLogCostsOnlyTheEntry) {
  startKasse();
  {
    ExclusiveHandle lock(L"QelConnect.log");
    ASSERT_TRUE(lock.valid());
    const CallOutcome outcome = sell();
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
    EXPECT_FALSE(resultUntouched());
  }
  EXPECT_EQ(std::filesystem::file_size("QelConnect.log"), 0u);
}

// A trace held open elsewhere, or one that would have to be renamed while
// its older half is held, costs the trace's line and nothing else.
TEST_F(LockFaultTest, LockedTraceCostsOnlyTheLine) {
  startKasse();
  for (const wchar_t* locked : {L"QelConnect.trace", L"QelConnect.trace.1"}) {
    const std::string full(kTraceLimit, 'x');
    writeFile("QelConnect.trace", full.substr(0, full.size() - 1) + "\n");
    ExclusiveHandle lock(locked);
    ASSERT_TRUE(lock.valid());
    const CallOutcome outcome = sell();
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
    EXPECT_EQ(std::filesystem::file_size("QelConnect.trace"), kTraceLimit) << "neither written nor renamed";
  }
}

TEST_F(LockFaultTest, ReadOnlyLogCostsOnlyTheEntry) {
  startKasse();
  writeFile("QelConnect.log", "");
  ASSERT_TRUE(SetFileAttributesW(L"QelConnect.log", FILE_ATTRIBUTE_READONLY));
  // Wine keeps the attribute as the file's Unix write permission, which does
  // not bind root: there the file stays writable and the case cannot arise.
  const HANDLE probe = CreateFileW(L"QelConnect.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    GTEST_SKIP() << "the read-only attribute is not enforced here (Wine run by root)";
  }
  const CallOutcome outcome = sell();
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  EXPECT_FALSE(resultUntouched());
  EXPECT_EQ(std::filesystem::file_size("QelConnect.log"), 0u);
}

}  // namespace
}  // namespace qel::test
