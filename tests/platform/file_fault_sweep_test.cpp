// Every call of the platform's table failed in turn: for each row, its call
// 1, 2, 3 ... fails during an append, a rotation, a rewrite, a read of a pair
// and the log's calls, until a run meets no fault. After each run the files
// on disk hold exactly what they held before or exactly what the call
// reports it wrote, never half a record, a lost one or two joined, and
// every descriptor or handle is closed again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/platform/system_faults.h"
#include "tests/support/scratch_dir.h"

namespace qel::test {
namespace {

using Files = std::map<std::string, std::string>;

constexpr char kTrace[] = "QelConnect.trace";
constexpr char kOlder[] = "QelConnect.trace.1";
constexpr char kLog[] = "QelConnect.log";
constexpr char kJournal[] = "QelConnect.journal";

struct SweepCase {
  const char* what;
  Files before;
  // Runs the call; true when it reports that it did its job.
  std::function<bool()> run;
  // What the files hold when it did.
  Files after;
  // What they may hold when it reports a failure, besides `before`.
  std::vector<Files> alsoAfterFailure;
};

bool appendTrace(std::uint64_t limit) {
  return static_cast<bool>(platform::appendRecord(kTrace, "new\n", limit, kOlder));
}

bool rewriteJournal(const char* replacement) {
  return static_cast<bool>(platform::replaceRecords(kJournal, 1 << 20, [=](std::string_view, std::string& next) {
    next = replacement;
    return true;
  }));
}

// The pair as read must be the pair on disk, file by file, whatever else the
// fault did.
bool readPair() {
  const Files disk = {{kOlder, "older\n"}, {kTrace, "old 1\nold 2\n"}};
  const platform::RecordFiles files = platform::readRecordFiles(kTrace, kOlder, 1 << 20);
  const bool previousRead = files.previousStatus == platform::FileRead::Ok;
  const bool currentRead = files.currentStatus == platform::FileRead::Ok;
  EXPECT_EQ(files.previous, previousRead ? disk.at(kOlder) : "");
  EXPECT_EQ(files.current, currentRead ? disk.at(kTrace) : "");
  return previousRead && currentRead;
}

const std::vector<SweepCase>& sweepCases() {
  const Files pair = {{kTrace, "old 1\nold 2\n"}, {kOlder, "older\n"}};
  static const std::vector<SweepCase> cases = {
      {"an append",
       pair,
       [] { return appendTrace(1 << 20); },
       {{kTrace, "old 1\nold 2\nnew\n"}, {kOlder, "older\n"}},
       {}},
      {"an append after a line cut off",
       {{kTrace, "old 1\nold"}, {kOlder, "older\n"}},
       [] { return appendTrace(1 << 20); },
       {{kTrace, "old 1\nold\nnew\n"}, {kOlder, "older\n"}},
       {}},
      // A failed rotation may have dropped the older lines, which were to go,
      // or moved the file before the record failed; a line is never lost.
      {"a rotation",
       pair,
       [] { return appendTrace(14); },
       {{kTrace, "new\n"}, {kOlder, "old 1\nold 2\n"}},
       {{{kTrace, "old 1\nold 2\n"}, {kOlder, ""}}, {{kTrace, ""}, {kOlder, "old 1\nold 2\n"}}}},
      {"a read of the pair", pair, readPair, pair, {}},
      {"a log entry",
       {{kLog, "old\r\n"}},
       [] { return static_cast<bool>(platform::appendToFile(kLog, "entry\r\n")); },
       {{kLog, "old\r\nentry\r\n"}},
       {}},
      {"emptying the log",
       {{kLog, "old\r\n"}},
       [] { return static_cast<bool>(platform::truncateFile(kLog)); },
       {{kLog, ""}},
       {}},
      {"a shorter rewrite",
       {{kJournal, "a 1\nb 2\nc 3\n"}},
       [] { return rewriteJournal("b 2\n"); },
       {{kJournal, "b 2\n"}},
       {}},
      {"a longer rewrite",
       {{kJournal, "a 1\n"}},
       [] { return rewriteJournal("a 1\nb 2\nc 3\n"); },
       {{kJournal, "a 1\nb 2\nc 3\n"}},
       {}},
  };
  return cases;
}

std::string contentOf(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Files onDisk(const Files& names) {
  Files files;
  for (const auto& [name, content] : names) files[name] = contentOf(name);
  return files;
}

// The most calls of one row that a single call of the policy makes.
constexpr int kMostCalls = 64;

TEST(FileFaultSweep, EveryCallFailedInTurnLeavesWholeFiles) {
  std::vector<std::string> rows;
  {
    const SystemFaults faults;
    rows = faults.calls();
  }
  int faultsMet = 0;
  for (const SweepCase& c : sweepCases()) {
    for (const std::string& row : rows) {
      for (int n = 1; n <= kMostCalls; ++n) {
        SCOPED_TRACE(std::string(c.what) + ", call " + std::to_string(n) + " of " + row + " fails");
        ScratchDir dir;
        for (const auto& [name, content] : c.before) std::ofstream(name, std::ios::binary) << content;
        const std::size_t handlesBefore = openHandles();
        bool reported;
        bool met;
        {
          SystemFaults faults;
          faults[row] = failing(ioError(), 1, n - 1);
          reported = c.run();
          met = faults[row].calls >= n;
        }
        EXPECT_EQ(openHandles(), handlesBefore) << "a descriptor or handle was left open";
        const Files after = onDisk(c.before);
        if (!met) {
          EXPECT_TRUE(reported) << "no fault was met";
          EXPECT_EQ(after, c.after);
          break;
        }
        ++faultsMet;
        if (reported) {
          EXPECT_EQ(after, c.after);
          continue;
        }
        bool allowed = after == c.before;
        for (const Files& also : c.alsoAfterFailure) allowed = allowed || after == also;
        EXPECT_TRUE(allowed) << ::testing::PrintToString(after);
      }
    }
  }
  // Every case meets faults in the open, the lock, the state, the reads or
  // writes and the close.
  EXPECT_GE(faultsMet, 5 * static_cast<int>(sweepCases().size()));
}

}  // namespace
}  // namespace qel::test
