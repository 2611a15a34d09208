// The small per-system steps that the working-folder file policy
// (record_files.cpp) is written over: open a plain file, try its lock once,
// learn its state, read or write at an offset, cut it, pause. Each side makes
// every one of its system calls through its table of calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qel::platform::detail {

// A descriptor (POSIX) or a HANDLE (Windows); kNoFile when there is none.
using NativeFile = std::intptr_t;
constexpr NativeFile kNoFile = -1;

enum class Access { Read, Write };

// Opens the file `name` itself, never what a link leads to, shared with
// every other reader and writer; Write opens it for reading and writing and
// creates it when missing. kNoFile with lastError() set when not opened.
NativeFile openPlain(const std::string& name, Access access);
void closeFile(NativeFile file);

enum class LockTry {
  Taken,        // The lock is ours until unlockFile or the close.
  Busy,         // Another holds it.
  Unsupported,  // The file system keeps no locks: go on without.
};
// One try for the file's writers' lock (`exclusive`) or readers' lock,
// without waiting.
LockTry tryLock(NativeFile file, bool exclusive);
void unlockFile(NativeFile file);

struct FileState {
  // A regular file with this one name: no folder, device, pipe, link or
  // other reparse point, and no second name that a write would reach.
  bool plain;
  std::uint64_t size;
};
bool fileState(NativeFile file, FileState& state);

// Reads at most `size` bytes at `offset` into `into`; `got` is 0 at the end.
bool readAt(NativeFile file, std::uint64_t offset, char* into, std::size_t size, std::size_t& got);
// Writes at most `size` bytes at `offset`; `written` may come back short.
bool writeAt(NativeFile file, std::uint64_t offset, const char* bytes, std::size_t size, std::size_t& written);
// Sets the file's length to `size`.
bool cutAt(NativeFile file, std::uint64_t size);

// The real pause between two tries of a lock.
void pauseMilliseconds(int milliseconds);
// The pause between two tries of a file that another holds: kLockPauseMs,
// then a turn of the transfer that runs on the thread, if any.
void pauseBetweenTries();

// errno or GetLastError of the step that failed last.
std::uint32_t lastError();
// True when `error` says that a file was missing.
bool isMissing(std::uint32_t error);

}  // namespace qel::platform::detail
