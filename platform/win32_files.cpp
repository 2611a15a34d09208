// The Win32 side of the working-folder files: kernel handles shared with
// other readers and writers, no C runtime streams, each handle closed before
// the call returns.
#include <windows.h>

#include "platform/platform.h"

namespace qel::platform {
namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr std::size_t kFirstRead = 4096;
constexpr std::size_t kLargestFirstRead = std::size_t{16} << 20;
// ReadFile and WriteFile take a DWORD count.
constexpr std::size_t kLargestTransfer = 0x40000000;

HANDLE openFile(const std::string& name, DWORD access, DWORD disposition) {
  return CreateFileW(utf8ToWide(name).c_str(), access, kShareReadWrite, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

}  // namespace

FileRead readFile(const std::string& name, std::string& content) {
  content.clear();
  const Handle file(openFile(name, GENERIC_READ, OPEN_EXISTING));
  if (!file) return FileRead::NotOpened;
  // Room for one byte more than a disk file holds: a read that comes back
  // short has then met the end, and the file is not asked again.
  const bool disk = GetFileType(file.get()) == FILE_TYPE_DISK;
  LARGE_INTEGER size{};
  const bool sized = disk && GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
                     static_cast<unsigned long long>(size.QuadPart) < kLargestFirstRead;
  std::size_t room = sized ? static_cast<std::size_t>(size.QuadPart) + 1 : kFirstRead;
  std::size_t filled = 0;
  for (;;) {
    content.resize(room);
    const std::size_t wanted = room - filled < kLargestTransfer ? room - filled : kLargestTransfer;
    DWORD got = 0;
    if (!ReadFile(file.get(), content.data() + filled, static_cast<DWORD>(wanted), &got, nullptr)) {
      // A pipe reports its end as a broken pipe.
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      content.clear();
      return FileRead::Failed;
    }
    filled += got;
    if (got == 0 || (disk && got < wanted)) break;
    if (filled == room) room *= 2;
  }
  content.resize(filled);
  return FileRead::Ok;
}

bool appendToFile(const std::string& name, std::string_view bytes) {
  // A handle with append access and no other write access writes at the end
  // of the file, wherever other writers have left it.
  const Handle file(openFile(name, FILE_APPEND_DATA, OPEN_ALWAYS));
  if (!file) return false;
  while (!bytes.empty()) {
    const std::size_t wanted = bytes.size() < kLargestTransfer ? bytes.size() : kLargestTransfer;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(wanted), &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool truncateFile(const std::string& name) {
  return static_cast<bool>(Handle(openFile(name, GENERIC_WRITE, CREATE_ALWAYS)));
}

}  // namespace qel::platform
