// The working-folder files when a system call fails, comes back short, is
// interrupted or finds the file locked: each outcome is the one the platform
// promises, the bytes on disk are whole or untouched, and every descriptor
// or handle that was opened is closed again.
#include <gtest/gtest.h>

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

TEST(InjectedFileFaults, EachFaultHasItsPromisedOutcome) {
  // Beyond the first read's room when no size is reported.
  const std::string settings = bytes(5000, 1);
  const std::string entry = bytes(3000, 2);
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
      EXPECT_EQ(platform::appendToFile("QelConnect.log", entry), c.append);
      EXPECT_TRUE(sameBytes(contentOf("QelConnect.log"), c.append ? "old\r\n" + entry : "old\r\n"));
      EXPECT_EQ(platform::truncateFile("Sales.ini"), c.truncate);
      // A record is written whole or not at all, whatever the fault.
      const bool recorded = platform::appendRecord("QelConnect.trace", entry + "\n", 1 << 20, "QelConnect.trace.1");
      EXPECT_TRUE(sameBytes(contentOf("QelConnect.trace"), recorded ? "old\n" + entry + "\n" : "old\n"));
      EXPECT_TRUE(faults.allMet()) << "a scripted fault was never met";
    }
    EXPECT_EQ(openHandles(), handlesBefore) << "a descriptor or handle was left open";
  }
}

}  // namespace
}  // namespace qel::test
