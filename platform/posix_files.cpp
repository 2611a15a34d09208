// The POSIX side of the working-folder files: plain descriptors, no stream
// buffers, each file closed before the call returns.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace qel::platform {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }

 private:
  int fd_;
};

constexpr std::size_t kFirstRead = 4096;
// A size reported beyond this is not trusted for the first read's room; the
// room then grows as the bytes arrive.
constexpr std::size_t kLargestFirstRead = std::size_t{16} << 20;

int openFile(const std::string& name, int flags) {
  int fd;
  do fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

FileRead readFile(const std::string& name, std::string& content) {
  content.clear();
  const Descriptor file(openFile(name, O_RDONLY));
  if (!file) return FileRead::NotOpened;
  // Room for one byte more than a regular file holds: a read that comes back
  // short has then met the end, and the file is not asked again.
  struct stat info {};
  const bool regular = ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
  const auto size = static_cast<std::size_t>(regular && info.st_size > 0 ? info.st_size : 0);
  std::size_t room = size > 0 && size < kLargestFirstRead ? size + 1 : kFirstRead;
  std::size_t filled = 0;
  for (;;) {
    content.resize(room);
    const ssize_t got = ::read(file.get(), content.data() + filled, room - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      content.clear();
      return FileRead::Failed;
    }
    filled += static_cast<std::size_t>(got);
    if (got == 0 || (regular && filled < room)) break;
    if (filled == room) room *= 2;
  }
  content.resize(filled);
  return FileRead::Ok;
}

bool appendToFile(const std::string& name, std::string_view bytes) {
  const Descriptor file(openFile(name, O_WRONLY | O_CREAT | O_APPEND));
  if (!file) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool truncateFile(const std::string& name) {
  return static_cast<bool>(Descriptor(openFile(name, O_WRONLY | O_CREAT | O_TRUNC)));
}

}  // namespace qel::platform
