// Files that another process keeps locked (a box office hung on the same
// folder, a backup tool, a support script): the sale gives each such file
// about a second, goes on without its line or entry and completes as
// always; hrECInit leaves a locked log as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/faults/fault_fixture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace qel::test {
namespace {

// A writer's lock on `name`, or with `shared` a reader's, held for the
// object's lifetime, as another process would hold it (locks of two opens
// exclude each other within one process too): flock on POSIX, every byte of
// the file on Windows.
class HeldLock {
 public:
#if defined(_WIN32)
  HeldLock(const char* name, bool shared)
      : file_(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    OVERLAPPED from{};
    held_ = file_ != INVALID_HANDLE_VALUE &&
            LockFileEx(file_, shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from);
  }
  ~HeldLock() {
    OVERLAPPED from{};
    if (held_) UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &from);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }

 private:
  HANDLE file_;
#else
  HeldLock(const char* name, bool shared) : fd_(open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    held_ = fd_ >= 0 && flock(fd_, shared ? LOCK_SH : LOCK_EX) == 0;
  }
  ~HeldLock() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
#endif

 public:
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool held() const { return held_; }

 private:
  bool held_ = false;
};

TEST_F(FaultTest, FilesLockedElsewhereCostOnlyTheirLines) {
  struct Case {
    const char* locked;
    std::string trace;  // what the trace holds before the sale
    bool shared;        // a reader's lock, as a listing of the trace holds it
  };
  const std::string full = std::string(kTraceLimit - 1, 'x') + "\n";
  const Case cases[] = {
      {"QelConnect.trace", "old\n", false},
      {"QelConnect.trace", full, false},  // no rotation either
      {"QelConnect.trace", "old\n", true},
      {"QelConnect.log", "old\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locked) + (c.shared ? " read" : "") + " locked, trace of " +
                 std::to_string(c.trace.size()) + " bytes");
    ScratchDir dir;
    startKasse();
    writeFile("QelConnect.trace", c.trace);
    writeFile("QelConnect.log", "old entry\r\n");
    const bool logLocked = c.locked == std::string("QelConnect.log");
    {
      const HeldLock lock(c.locked, c.shared);
      ASSERT_TRUE(lock.held());
      const CallOutcome outcome = sell();
      EXPECT_EQ(outcome.code, 0);
      EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
      EXPECT_FALSE(resultUntouched());
      const std::string log = readFile("QelConnect.log");
      if (logLocked) {
        EXPECT_EQ(log, "old entry\r\n");
        std::uint32_t handle = 0;
        ASSERT_EQ(faultLibrary().init()(nullptr, &handle), 0);
        EXPECT_EQ(readFile("QelConnect.log"), "old entry\r\n") << "a locked log is not emptied";
        // The trace tells where the entry went.
        const std::vector<std::string> lines = traceLines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(traceText(lines[1], "logEntryLost"), "(no logEntryLost)");
        EXPECT_EQ(traceText(lines[2], "outcome"), "accepted");
        EXPECT_EQ(traceText(lines[2], "logEntryLost"), "locked");
        continue;
      }
      EXPECT_GT(log.size(), 11u);
      EXPECT_EQ(log.substr(0, 11), "old entry\r\n") << "the entry follows";
      EXPECT_EQ(readFile("QelConnect.trace"), c.trace) << "neither written nor rotated";
      EXPECT_FALSE(std::filesystem::exists("QelConnect.trace.1"));
    }
    // The next sale's first line counts both lines lost to the lock, and
    // only that line does.
    ASSERT_EQ(sell().code, 0);
    std::vector<std::string> lines = traceLines();
    ASSERT_GE(lines.size(), 2u);
    lines.erase(lines.begin(), lines.end() - 2);
    EXPECT_EQ(traceText(lines[0], "outcome"), "sending");
    EXPECT_EQ(traceLine(lines[0]).value("linesLost", 0), 2);
    EXPECT_FALSE(traceLine(lines[1]).contains("linesLost")) << lines[1];
    EXPECT_EQ(traceText(lines[1], "logEntryLost"), "(no logEntryLost)");
  }
}

}  // namespace
}  // namespace qel::test
