// The POSIX side of the working-folder files: whole reads and the steps that
// record_files.cpp writes its policy over, on plain descriptors without
// stream buffers.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/plain_file.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"
#include "platform/whole_read.h"

namespace qel::platform {
namespace {

using detail::posixCalls;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) posixCalls.close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }

 private:
  int fd_;
};

int openFile(const std::string& name, int flags) {
  int fd;
  do fd = posixCalls.open(name.c_str(), flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}

FileReadResult failed(FileRead status, int error) { return {status, static_cast<std::uint32_t>(error)}; }

// What an open that failed with `error` means for the reader.
FileReadResult notOpened(int error) {
  if (error == ENOENT || error == ENOTDIR) return {FileRead::Missing, 0};
  return failed(FileRead::NotOpened, error);
}

// Reads an opened regular file of `size` bytes (as it reported) to its end.
FileReadResult readToEnd(int fd, std::size_t size, std::string& content, std::size_t maxBytes) {
  return detail::readWhole(size, content, maxBytes, SIZE_MAX,
                           [fd](char* into, std::size_t wanted, std::size_t& got, std::uint32_t& error) {
                             for (;;) {
                               const ssize_t n = posixCalls.read(fd, into, wanted);
                               if (n >= 0) {
                                 got = static_cast<std::size_t>(n);
                                 return true;
                               }
                               if (errno != EINTR) {
                                 error = static_cast<std::uint32_t>(errno);
                                 return false;
                               }
                             }
                           });
}

}  // namespace

FileReadResult readFile(const std::string& name, std::string& content, std::size_t maxBytes) {
  content.clear();
  // Without O_NONBLOCK, opening a pipe waits for a writer, which may never
  // come; for the regular files that are read the flag changes nothing.
  const int fd = openFile(name, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return notOpened(errno);
  const Descriptor file(fd);
  struct stat info {};
  if (posixCalls.fstat(file.get(), &info) != 0) return failed(FileRead::Failed, errno);
  if (S_ISDIR(info.st_mode)) return {FileRead::Folder, 0};
  if (!S_ISREG(info.st_mode)) return {FileRead::NotRegular, 0};
  const auto size = static_cast<std::uint64_t>(info.st_size > 0 ? info.st_size : 0);
  if (size > maxBytes) return {FileRead::TooLarge, 0};
  return readToEnd(file.get(), static_cast<std::size_t>(size), content, maxBytes);
}

FileKind fileKind(const std::string& name) {
  struct stat info {};
  if (posixCalls.stat(name.c_str(), &info) != 0) return FileKind::Missing;
  if (S_ISREG(info.st_mode)) return FileKind::Regular;
  if (S_ISDIR(info.st_mode)) return FileKind::Folder;
  return FileKind::Other;
}

namespace detail {

NativeFile openPlain(const std::string& name, Access access) {
  // O_NONBLOCK keeps the open of a pipe from waiting for its other end; a
  // link is refused by the open itself, anything else that is not a plain
  // file by fileState.
  const int flags = access == Access::Write ? O_RDWR | O_CREAT : O_RDONLY;
  return openFile(name, flags | O_NOFOLLOW | O_NONBLOCK);
}

void closeFile(NativeFile file) { posixCalls.close(static_cast<int>(file)); }

// flock: one lock per open file, so that threads of one process exclude
// each other as processes do.
LockTry tryLock(NativeFile file, bool exclusive) {
  const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  int result;
  do result = posixCalls.flock(static_cast<int>(file), operation);
  while (result != 0 && errno == EINTR);
  if (result == 0) return LockTry::Taken;
  return errno == EWOULDBLOCK ? LockTry::Busy : LockTry::Unsupported;
}

void unlockFile(NativeFile) {
  // The close lets go of the lock.
}

bool fileState(NativeFile file, FileState& state) {
  struct stat info {};
  if (posixCalls.fstat(static_cast<int>(file), &info) != 0) return false;
  state.plain = S_ISREG(info.st_mode) && info.st_nlink == 1;
  state.size = static_cast<std::uint64_t>(info.st_size > 0 ? info.st_size : 0);
  return true;
}

bool readAt(NativeFile file, std::uint64_t offset, char* into, std::size_t size, std::size_t& got) {
  ssize_t n;
  do n = posixCalls.pread(static_cast<int>(file), into, size, static_cast<off_t>(offset));
  while (n < 0 && errno == EINTR);
  got = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n >= 0;
}

bool writeAt(NativeFile file, std::uint64_t offset, const char* bytes, std::size_t size, std::size_t& written) {
  ssize_t n;
  do n = posixCalls.pwrite(static_cast<int>(file), bytes, size, static_cast<off_t>(offset));
  while (n < 0 && errno == EINTR);
  written = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n >= 0;
}

bool cutAt(NativeFile file, std::uint64_t size) {
  int result;
  do result = posixCalls.ftruncate(static_cast<int>(file), static_cast<off_t>(size));
  while (result != 0 && errno == EINTR);
  return result == 0;
}

void pauseMilliseconds(int milliseconds) {
  const struct timespec pause { milliseconds / 1000, (milliseconds % 1000) * 1000000L };
  posixCalls.nanosleep(&pause, nullptr);
}

std::uint32_t lastError() { return static_cast<std::uint32_t>(errno); }

bool isMissing(std::uint32_t error) { return error == ENOENT || error == ENOTDIR; }

}  // namespace detail
}  // namespace qel::platform
