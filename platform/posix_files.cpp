// The POSIX side of the working-folder files: plain descriptors, no stream
// buffers, each file closed before the call returns.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

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
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

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

namespace {

// A file renamed by another process between our open and our lock is opened
// again under its name; more tries than this mean something else keeps
// renaming it.
constexpr int kRenamedRetries = 16;

// Opens the working-folder file `name` for writing (`access` and `flags`
// added), created when missing, and locks it against every other process
// and descriptor that writes it (flock: one lock per open file, so threads
// exclude each other too). The name is never followed as a symbolic link,
// and the file is refused unless it is a regular file with this one name, so
// that nothing it links to is touched; O_NONBLOCK keeps the open of a pipe
// from waiting for a reader. Since another process may have renamed the file
// while this one waited for the lock, the name must still lead to the locked
// file. `info` then holds the file's state. -1 when refused or not opened.
int openLocked(const std::string& name, int access, struct stat& info) {
  for (int attempt = 0; attempt < kRenamedRetries; ++attempt) {
    Descriptor file(openFile(name, access | O_CREAT | O_NONBLOCK | O_NOFOLLOW));
    if (!file) return -1;
    // A file system without locks still gets its writes.
    while (posixCalls.flock(file.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat named {};
    if (posixCalls.fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) return -1;
    if (::lstat(name.c_str(), &named) == 0 && named.st_ino == info.st_ino && named.st_dev == info.st_dev) {
      return file.release();
    }
  }
  return -1;
}

// Appends all of `bytes` to the locked file `fd` of `size` bytes. A write
// that fails part of the way (a full disk) is taken back to `size`, so that
// no half an entry stays in the file for the next one to be glued to.
bool appendWhole(int fd, off_t size, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = posixCalls.write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      static_cast<void>(::ftruncate(fd, size));
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

bool appendToFile(const std::string& name, std::string_view bytes) {
  struct stat info {};
  const Descriptor file(openLocked(name, O_WRONLY | O_APPEND, info));
  return file && appendWhole(file.get(), info.st_size, bytes);
}

bool truncateFile(const std::string& name) {
  struct stat info {};
  const Descriptor file(openLocked(name, O_WRONLY, info));
  return file && ::ftruncate(file.get(), 0) == 0;
}

bool appendRecord(const std::string& name, std::string_view record, std::uint64_t limit, const std::string& previous) {
  static std::mutex recordLock;  // appends of this process, one at a time
  const std::lock_guard<std::mutex> turn(recordLock);
  for (int attempt = 0; attempt < kRenamedRetries; ++attempt) {
    struct stat info {};
    const Descriptor file(openLocked(name, O_RDWR | O_APPEND, info));
    if (!file) return false;
    const off_t size = info.st_size;
    if (size > 0 && static_cast<std::uint64_t>(size) + record.size() > limit) {
      // Renamed under the lock, which the others then find on a file that
      // no longer has the name: they open the new one.
      if (::rename(name.c_str(), previous.c_str()) != 0) return false;
      continue;
    }
    char last = '\n';
    if (size > 0 && ::pread(file.get(), &last, 1, size - 1) != 1) return false;
    std::string joined;
    if (last != '\n') {
      joined.reserve(record.size() + 1);
      joined.append(1, '\n').append(record);
      record = joined;
    }
    return appendWhole(file.get(), size, record);
  }
  return false;
}

}  // namespace qel::platform
