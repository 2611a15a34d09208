// Another process's hold on a trace or a log: the same cross-process lock
// its writers take (flock on POSIX; on Windows LockFileEx on the byte the
// writers lock), held until the object goes.
#pragma once

#include <cstdint>
#include <string>

namespace qel::reconcile {

class FileLock {
 public:
  // Locks `path` if it exists; otherwise holds nothing.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return held_; }

 private:
  std::intptr_t file_;
  bool held_;
};

}  // namespace qel::reconcile
