// The scripted system faults on POSIX: stand-ins for the rows of the POSIX
// call table, boxes answered through the dialog seam, and the cases that
// descriptors can show.
#include <errno.h>
#include <sys/stat.h>

#include <algorithm>

#include "host/qelconnect.h"
#include "platform/posix_calls.h"
#include "tests/platform/system_faults.h"

namespace qel::test {
namespace {

using platform::FileRead;
using platform::detail::posixCalls;

// Counts the call; true, with errno set, when its script has it fail now.
bool failsNow(const char* call) {
  CallScript& s = SystemFaults::live()[call];
  ++s.calls;
  if (s.passes > 0) {
    --s.passes;
    return false;
  }
  if (s.interruptions > 0) {
    --s.interruptions;
    errno = EINTR;
    return true;
  }
  if (s.failures == 0) return false;
  if (s.failures > 0) --s.failures;
  errno = static_cast<int>(s.error);
  return true;
}

std::size_t most(const char* call) { return SystemFaults::live()[call].most; }

int openStandIn(const char* name, int flags, mode_t mode) {
  return failsNow("open") ? -1 : posixCalls.open.original(name, flags, mode);
}

ssize_t readStandIn(int fd, void* buffer, std::size_t size) {
  return failsNow("read") ? -1 : posixCalls.read.original(fd, buffer, std::min(size, most("read")));
}

ssize_t preadStandIn(int fd, void* buffer, std::size_t size, off_t offset) {
  return failsNow("pread") ? -1 : posixCalls.pread.original(fd, buffer, std::min(size, most("pread")), offset);
}

ssize_t pwriteStandIn(int fd, const void* buffer, std::size_t size, off_t offset) {
  return failsNow("pwrite") ? -1 : posixCalls.pwrite.original(fd, buffer, std::min(size, most("pwrite")), offset);
}

// A close that fails has let go of the descriptor all the same, as on Linux.
int closeStandIn(int fd) {
  const bool fails = failsNow("close");
  const int result = posixCalls.close.original(fd);
  return fails ? -1 : result;
}

int fstatStandIn(int fd, struct stat* info) {
  if (failsNow("fstat")) return -1;
  const int result = posixCalls.fstat.original(fd, info);
  if (result == 0 && SystemFaults::live()["fstat"].noSize) info->st_size = 0;
  return result;
}

int statStandIn(const char* name, struct stat* info) {
  return failsNow("stat") ? -1 : posixCalls.stat.original(name, info);
}

int flockStandIn(int fd, int operation) { return failsNow("flock") ? -1 : posixCalls.flock.original(fd, operation); }

int ftruncateStandIn(int fd, off_t size) {
  return failsNow("ftruncate") ? -1 : posixCalls.ftruncate.original(fd, size);
}

// Counted, never waited.
int nanosleepStandIn(const struct timespec*, struct timespec*) { return failsNow("nanosleep") ? -1 : 0; }

// The dialog seam in place of MessageBoxW, scripted as a row of its own.
constexpr char kBoxCall[] = "dialog";

int answerOk(void*, const wchar_t*, const wchar_t*, unsigned int) {
  if (failsNow(kBoxCall)) return platform::kBoxNotShown;
  SystemFaults::live().countBox();
  return platform::kIdOk;
}

// Hands `f` every row of the table with its stand-in.
template <typename F>
void forEachRow(F&& f) {
  f(posixCalls.open, &openStandIn);
  f(posixCalls.read, &readStandIn);
  f(posixCalls.pread, &preadStandIn);
  f(posixCalls.pwrite, &pwriteStandIn);
  f(posixCalls.close, &closeStandIn);
  f(posixCalls.fstat, &fstatStandIn);
  f(posixCalls.stat, &statStandIn);
  f(posixCalls.flock, &flockStandIn);
  f(posixCalls.ftruncate, &ftruncateStandIn);
  f(posixCalls.nanosleep, &nanosleepStandIn);
}

}  // namespace

SystemFaults::SystemFaults() {
  live_ = this;
  forEachRow([this](auto& row, auto* standIn) {
    scripts_[row.name];
    row.current = standIn;
  });
  scripts_[kBoxCall];
  qelSetDialogHandler(&answerOk);
}

SystemFaults::~SystemFaults() {
  qelSetDialogHandler(nullptr);
  forEachRow([](auto& row, auto*) { row.current = row.original; });
  live_ = nullptr;
}

int SystemFaults::pauses() const { return scripts_.find("nanosleep")->second.calls; }

LockCall lockCall() { return {"flock", EWOULDBLOCK}; }

const char* boxCall() { return kBoxCall; }

std::uint32_t ioError() { return EIO; }

const std::vector<FileFaultCase>& fileFaultCases() {
  static const std::vector<FileFaultCase> cases = {
      {"an open interrupted three times", "open", interrupted(3), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
      {"a read interrupted three times", "read", interrupted(3), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
      {"a write interrupted three times", "pwrite", interrupted(3), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
      {"writes of one byte each", "pwrite", atMost(1), FileRead::Ok, 0, 0, Written::Yes, Written::Yes, Written::Yes},
      {"a write that moves nothing", "pwrite", atMost(0), FileRead::Ok, 0, 0, Written::No, Written::No, Written::Yes},
      {"a full disk", "pwrite", failing(ENOSPC), FileRead::Ok, 0, 0, Written::No, Written::No, Written::Yes},
      {"a disk full after 300 bytes", "pwrite", fillingUp(300, ENOSPC), FileRead::Ok, 0, 0, Written::No, Written::No,
       Written::Yes},
      {"an open refused", "open", failing(EACCES), FileRead::NotOpened, EACCES, 0, Written::No, Written::No,
       Written::No},
      {"a read that fails", "read", failing(EIO), FileRead::Failed, EIO, 0, Written::Yes, Written::Yes, Written::Yes},
      // A record reads the file's last byte first, which the fault fails.
      {"a positioned read that fails", "pread", failing(EIO), FileRead::Ok, 0, 0, Written::Yes, Written::No,
       Written::Yes},
      {"an fstat that fails", "fstat", failing(EIO), FileRead::Failed, EIO, 0, Written::No, Written::No, Written::No},
      // Writers append at the size that fstat reports under the lock; only
      // readers meet files that report none (those under /proc).
      {"a file that reports no size", "fstat", withoutSize(), FileRead::Ok, 0, 0, Written::Untried, Written::Untried,
       Written::Untried},
      {"a file that cannot be cut", "ftruncate", failing(EIO), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::No},
      {"a close that fails", "close", failing(EIO), FileRead::Ok, 0, 0, Written::Yes, Written::Yes, Written::Yes},
      {"a lock interrupted three times", "flock", interrupted(3), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
      {"a file system without locks", "flock", failing(ENOLCK), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
  };
  return cases;
}

const std::vector<SaleFault>& saleFaults() {
  static const std::vector<SaleFault> faults = {
      {"opens interrupted", "open", interrupted(5), true},
      {"reads interrupted", "read", interrupted(5), true},
      {"writes interrupted", "pwrite", interrupted(5), true},
      {"the log written a byte at a time", "pwrite", atMost(1), true},
      {"a full disk", "pwrite", failing(ENOSPC), true},
      {"files that cannot be opened", "open", failing(EACCES), false},
      {"a configuration that cannot be read", "read", failing(EIO), false},
      {"a Sales.ini that cannot be read", "read", failing(EIO, -1, 1), false},
      {"an fstat that fails", "fstat", failing(EIO), false},
  };
  return faults;
}

}  // namespace qel::test
