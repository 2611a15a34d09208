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

// Opens `name` for writing if it is a regular file, `size` set to its
// length. O_NONBLOCK keeps the open of a pipe from waiting for a reader;
// such a name is refused like one that cannot be opened.
int openRegularForWriting(const std::string& name, int flags, off_t* size = nullptr, int access = O_WRONLY) {
  Descriptor file(openFile(name, access | O_CREAT | O_NONBLOCK | flags));
  struct stat info {};
  if (!file || posixCalls.fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  if (size != nullptr) *size = info.st_size;
  return file.release();
}

// Opens the record file `name` for appending, read access included, and
// renames it to `previous` first when `incoming` more bytes would take it
// past `limit`. -1 when it cannot be opened or renamed.
int openRecordFile(const std::string& name, std::size_t incoming, std::uint64_t limit, const std::string& previous,
                   off_t& size) {
  Descriptor file(openRegularForWriting(name, O_APPEND, &size, O_RDWR));
  if (!file) return -1;
  if (size == 0 || static_cast<std::uint64_t>(size) + incoming <= limit) return file.release();
  if (::rename(name.c_str(), previous.c_str()) != 0) return -1;
  return openRegularForWriting(name, O_APPEND, &size, O_RDWR);
}

}  // namespace

bool appendToFile(const std::string& name, std::string_view bytes) {
  const Descriptor file(openRegularForWriting(name, O_APPEND));
  if (!file) return false;
  while (!bytes.empty()) {
    const ssize_t written = posixCalls.write(file.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool truncateFile(const std::string& name) {
  return static_cast<bool>(Descriptor(openRegularForWriting(name, O_TRUNC)));
}

bool appendRecord(const std::string& name, std::string_view record, std::uint64_t limit, const std::string& previous) {
  static std::mutex recordLock;  // appends of this process, one at a time
  const std::lock_guard<std::mutex> turn(recordLock);
  off_t size = 0;
  const Descriptor file(openRecordFile(name, record.size(), limit, previous, size));
  if (!file) return false;
  char last = '\n';
  if (size > 0 && ::pread(file.get(), &last, 1, size - 1) != 1) return false;
  std::string joined;
  if (last != '\n') {
    joined.reserve(record.size() + 1);
    joined.append(1, '\n').append(record);
    record = joined;
  }
  ssize_t written;
  do written = posixCalls.write(file.get(), record.data(), record.size());
  while (written < 0 && errno == EINTR);
  if (written == static_cast<ssize_t>(record.size())) return true;
  if (written > 0) {
    // The descriptor's offset stands at the end of what this write appended.
    const off_t end = ::lseek(file.get(), 0, SEEK_CUR);
    if (end >= written) static_cast<void>(::ftruncate(file.get(), end - written));
  }
  return false;
}

}  // namespace qel::platform
