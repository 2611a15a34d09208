// Failures scripted into the platform's system-call table: while a
// SystemFaults lives, every file call and message box goes through a
// stand-in that fails, is interrupted or comes back short as its script
// says, and otherwise does what the system does. One implementation per
// target, each with the cases that its calls can show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace qel::test {

struct CallScript {
  // The first calls do what the system does.
  int passes = 0;
  // Then the next calls are interrupted by a signal (EINTR; POSIX only).
  int interruptions = 0;
  // Then this many calls fail with `error`; a negative count: every call.
  int failures = 0;
  std::uint32_t error = 0;
  // A read or write moves at most this many bytes.
  std::size_t most = SIZE_MAX;
  // fstat or GetFileSizeEx reports a size of 0, as files under /proc do.
  bool noSize = false;
  // The calls seen so far.
  int calls = 0;
};

inline CallScript interrupted(int times) {
  CallScript s;
  s.interruptions = times;
  return s;
}
inline CallScript failing(std::uint32_t error, int times = -1, int passes = 0) {
  CallScript s;
  s.passes = passes;
  s.failures = times;
  s.error = error;
  return s;
}
inline CallScript atMost(std::size_t bytes) {
  CallScript s;
  s.most = bytes;
  return s;
}
// The first write moves at most `bytes`, every later one fails with
// `error`: a disk that fills up in the middle of an entry.
inline CallScript fillingUp(std::size_t bytes, std::uint32_t error) {
  CallScript s = failing(error, -1, 1);
  s.most = bytes;
  return s;
}
inline CallScript withoutSize() {
  CallScript s;
  s.noSize = true;
  return s;
}

class SystemFaults {
 public:
  // Puts a stand-in into every row of the table and answers every message
  // box with OK; the destructor puts the system's calls back.
  SystemFaults();
  ~SystemFaults();
  SystemFaults(const SystemFaults&) = delete;
  SystemFaults& operator=(const SystemFaults&) = delete;

  // The script of the call as the system names it ("read", "ReadFile").
  CallScript& operator[](std::string_view call);
  // The names of the table's rows.
  std::vector<std::string> calls() const;
  // True when every interruption and counted failure scripted was met.
  bool allMet() const;
  // The pauses made before a locked file was tried again.
  int pauses() const;
  // The message boxes shown.
  int boxes() const { return boxes_; }

  // For the stand-ins: the SystemFaults that is in place.
  static SystemFaults& live();
  void countBox() { ++boxes_; }

 private:
  // One script for each row of the table, named as the row is.
  std::map<std::string, CallScript, std::less<>> scripts_;
  static SystemFaults* live_;
  int boxes_ = 0;
};

// The call that tries a file's lock, and the error with which it says that
// another holds the lock.
struct LockCall {
  const char* call;
  std::uint32_t busy;
};
LockCall lockCall();
// The call that shows a message box (Windows) or its stand-in, the
// development library's dialog seam (POSIX): scripted to fail, the box
// gives back what the system gives for one it could not show.
const char* boxCall();
// An error that a call of the table may fail with at any time (EIO,
// ERROR_IO_DEVICE).
std::uint32_t ioError();

// The descriptors (POSIX) or handles (Windows) that this process holds.
std::size_t openHandles();

// Whether a write reached the disk; Untried where the fault says nothing
// about writing.
enum class Written { Yes, No, Untried };

// One fault of a working-folder file call, and what readFile of a file of
// 5000 bytes gives, whether appendToFile (`appends`) and appendRecord
// (`records`) of 3000 bytes and truncateFile (`truncates`) change the disk.
struct FileFaultCase {
  const char* what;
  const char* call;
  CallScript script;
  platform::FileRead read;
  std::uint32_t readError;
  int pauses;
  Written appends;
  Written records;
  Written truncates;
};
const std::vector<FileFaultCase>& fileFaultCases();

// One fault of the file calls during a sale, and whether the sale still
// completes.
struct SaleFault {
  const char* what;
  const char* call;
  CallScript script;
  bool completes;
};
const std::vector<SaleFault>& saleFaults();

}  // namespace qel::test
