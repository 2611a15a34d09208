// The writers' lock on POSIX: flock on the file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "harness/reconcile/file_lock.h"

namespace qel::reconcile {

FileLock::FileLock(const std::string& path) : file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  held_ = file_ != -1 && ::flock(static_cast<int>(file_), LOCK_EX) == 0;
}

FileLock::~FileLock() {
  if (file_ != -1) ::close(static_cast<int>(file_));  // lets the lock go
}

}  // namespace qel::reconcile
