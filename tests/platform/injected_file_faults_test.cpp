// The working-folder files when a system call fails, comes back short, is
// interrupted or finds the file locked: each outcome is the one the platform
// promises, the bytes on disk are whole or untouched, and every descriptor
// or handle that was opened is closed again.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "tests/platform/system_faults.h"
#include "tests/support/scratch_dir.h"

namespace qel::test {
namespace {

std::string bytes(std::size_t size, int seed) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(i * 31 + seed);
  return out;
}

std::string contentOf(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Compares bytes without printing them all.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size() << " were expected, or "
                                       << "other bytes";
}

// What a file holding `before` holds once `added` was or was not written.
std::string expected(Written written, const std::string& before, const std::string& added) {
  return written == Written::Yes ? before + added : before;
}

TEST(InjectedFileFaults, EachFaultHasItsPromisedOutcome) {
  // Beyond the first read's room when no size is reported.
  const std::string settings = bytes(5000, 1);
  const std::string entry = bytes(3000, 2);
  // The pause between two tries gives a running transfer its turn; the
  // thread's record of its transfers is made on first use (on Windows with
  // two handles of the thread library's), before the handles are counted.
  platform::keepTransferAlive();
  for (const FileFaultCase& c : fileFaultCases()) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    std::ofstream("Sales.ini", std::ios::binary) << settings;
    std::ofstream("QelConnect.log", std::ios::binary) << "old\r\n";
    std::ofstream("QelConnect.trace", std::ios::binary) << "old\n";
    const std::size_t handlesBefore = openHandles();
    {
      SystemFaults faults;
      faults[c.call] = c.script;
      std::string content = "left over";
      const platform::FileReadResult read = platform::readFile("Sales.ini", content, 1 << 20);
      EXPECT_EQ(read.status, c.read);
      EXPECT_EQ(read.systemError, c.readError);
      EXPECT_TRUE(sameBytes(content, c.read == platform::FileRead::Ok ? settings : ""));
      EXPECT_EQ(faults.pauses(), c.pauses);
      if (c.appends != Written::Untried) {
        const bool appended = static_cast<bool>(platform::appendToFile("QelConnect.log", entry));
        EXPECT_TRUE(sameBytes(contentOf("QelConnect.log"), expected(c.appends, "old\r\n", entry)));
        EXPECT_EQ(appended, c.appends == Written::Yes);
      }
      if (c.records != Written::Untried) {
        // A record is written whole or not at all, whatever the fault.
        const bool recorded =
            static_cast<bool>(platform::appendRecord("QelConnect.trace", entry + "\n", 1 << 20, "QelConnect.trace.1"));
        EXPECT_TRUE(sameBytes(contentOf("QelConnect.trace"), expected(c.records, "old\n", entry + "\n")));
        EXPECT_EQ(recorded, c.records == Written::Yes);
      }
      if (c.truncates != Written::Untried) {
        const bool truncated = static_cast<bool>(platform::truncateFile("Sales.ini"));
        EXPECT_TRUE(sameBytes(contentOf("Sales.ini"), c.truncates == Written::Yes ? "" : settings));
        EXPECT_EQ(truncated, c.truncates == Written::Yes);
      }
      EXPECT_TRUE(faults.allMet()) << "a scripted fault was never met";
    }
    EXPECT_EQ(openHandles(), handlesBefore) << "a descriptor or handle was left open";
  }
}

// A lock that another holds for up to kLockRetries further tries is waited
// for, one pause before each try; held for one try more, the record is given
// up and the file left as it was.
TEST(InjectedFileFaults, LockWaitEndsAfterItsLastTry) {
  const LockCall lock = lockCall();
  for (int busy : {0, 1, platform::kLockRetries, platform::kLockRetries + 1}) {
    SCOPED_TRACE(std::to_string(busy) + " tries find the lock held");
    ScratchDir dir;
    std::ofstream("QelConnect.trace", std::ios::binary) << "old\n";
    SystemFaults faults;
    faults[lock.call] = failing(lock.busy, busy);
    const bool given = busy > platform::kLockRetries;
    const platform::FileWriteResult result =
        platform::appendRecord("QelConnect.trace", "new\n", 1 << 20, "QelConnect.trace.1");
    EXPECT_EQ(contentOf("QelConnect.trace"), given ? "old\n" : "old\nnew\n");
    EXPECT_EQ(result.status, given ? platform::FileWrite::Locked : platform::FileWrite::Ok);
    EXPECT_EQ(faults.pauses(), std::min(busy, platform::kLockRetries));
  }
}

}  // namespace
}  // namespace qel::test
