// The writers' lock on Windows: one byte far past any data, as the library
// locks it, so that readers are not held up.
#include <windows.h>

#include "harness/reconcile/file_lock.h"

namespace qel::reconcile {
namespace {

constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

OVERLAPPED lockedByte() {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedByteHigh;
  return at;
}

}  // namespace

FileLock::FileLock(const std::string& path)
    : file_(reinterpret_cast<std::intptr_t>(CreateFileA(path.c_str(), GENERIC_READ,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {
  const HANDLE file = reinterpret_cast<HANDLE>(file_);
  OVERLAPPED at = lockedByte();
  held_ = file != INVALID_HANDLE_VALUE && LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
}

FileLock::~FileLock() {
  const HANDLE file = reinterpret_cast<HANDLE>(file_);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED at = lockedByte();
  if (held_) UnlockFileEx(file, 0, 1, 0, &at);
  CloseHandle(file);
}

}  // namespace qel::reconcile
