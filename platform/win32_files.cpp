// The Win32 side of the working-folder files: kernel handles shared with
// other readers and writers, no C runtime streams, each handle closed before
// the call returns.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/platform.h"
#include "platform/whole_read.h"
#include "platform/win32_calls.h"

namespace qel::platform {
namespace {

using detail::win32Calls;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) win32Calls.CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  HANDLE release() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  void reset(HANDLE handle) {
    if (handle_ != INVALID_HANDLE_VALUE) win32Calls.CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// ReadFile and WriteFile take a DWORD count.
constexpr std::size_t kLargestTransfer = 0x40000000;
// Another program that holds the file without sharing (an editor saving it,
// a backup or a virus scanner) usually lets go within moments: the read is
// tried again for about a second before it counts as failed.
constexpr int kLockedRetries = 20;
constexpr DWORD kLockedPauseMs = 50;

HANDLE openFile(const std::string& name, DWORD access, DWORD disposition) {
  return win32Calls.CreateFileW(utf8ToWide(name).c_str(), access, kShareReadWrite, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
}

FileReadResult failed(FileRead status, DWORD error) { return {status, error}; }

bool isLocked(const FileReadResult& result) {
  return (result.status == FileRead::NotOpened || result.status == FileRead::Failed) &&
         (result.systemError == ERROR_SHARING_VIOLATION || result.systemError == ERROR_LOCK_VIOLATION);
}

// What an open that failed with `error` means for the reader. Windows opens
// a folder only when asked for backup semantics and otherwise refuses access,
// so a name that was there but not opened is looked at once more.
FileReadResult notOpened(const std::string& name, DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {FileRead::Missing, 0};
  if (fileKind(name) == FileKind::Folder) return {FileRead::Folder, 0};
  return failed(FileRead::NotOpened, error);
}

// Reads an opened disk file of `size` bytes (as it reported) to its end.
FileReadResult readToEnd(HANDLE file, std::size_t size, std::string& content, std::size_t maxBytes) {
  return detail::readWhole(size, content, maxBytes, kLargestTransfer,
                           [file](char* into, std::size_t wanted, std::size_t& got, std::uint32_t& error) {
                             DWORD read = 0;
                             if (!win32Calls.ReadFile(file, into, static_cast<DWORD>(wanted), &read, nullptr)) {
                               error = GetLastError();
                               return false;
                             }
                             got = read;
                             return true;
                           });
}

FileReadResult readOnce(const std::string& name, std::string& content, std::size_t maxBytes) {
  const Handle file(openFile(name, GENERIC_READ, OPEN_EXISTING));
  if (!file) return notOpened(name, GetLastError());
  if (win32Calls.GetFileType(file.get()) != FILE_TYPE_DISK) return {FileRead::NotRegular, 0};
  LARGE_INTEGER size{};
  if (!win32Calls.GetFileSizeEx(file.get(), &size)) return failed(FileRead::Failed, GetLastError());
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return {FileRead::TooLarge, 0};
  return readToEnd(file.get(), static_cast<std::size_t>(size.QuadPart), content, maxBytes);
}

}  // namespace

FileReadResult readFile(const std::string& name, std::string& content, std::size_t maxBytes) {
  content.clear();
  FileReadResult result = readOnce(name, content, maxBytes);
  for (int retry = 0; retry < kLockedRetries && isLocked(result); ++retry) {
    win32Calls.Sleep(kLockedPauseMs);
    result = readOnce(name, content, maxBytes);
  }
  return result;
}

FileKind fileKind(const std::string& name) {
  const DWORD attributes = win32Calls.GetFileAttributesW(utf8ToWide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::Other;
  return FileKind::Regular;
}

bool appendToFile(const std::string& name, std::string_view bytes) {
  // A handle with append access and no other write access writes at the end
  // of the file, wherever other writers have left it.
  const Handle file(openFile(name, FILE_APPEND_DATA, OPEN_ALWAYS));
  if (!file) return false;
  while (!bytes.empty()) {
    const std::size_t wanted = bytes.size() < kLargestTransfer ? bytes.size() : kLargestTransfer;
    DWORD written = 0;
    if (!win32Calls.WriteFile(file.get(), bytes.data(), static_cast<DWORD>(wanted), &written, nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool truncateFile(const std::string& name) {
  return static_cast<bool>(Handle(openFile(name, GENERIC_WRITE, CREATE_ALWAYS)));
}

namespace {

// Opens the record file `name` for reading and writing, with its length in
// `size`, if it is a file on disk.
HANDLE openRecordFile(const std::string& name, LARGE_INTEGER& size) {
  Handle file(openFile(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
  if (!file || win32Calls.GetFileType(file.get()) != FILE_TYPE_DISK || !win32Calls.GetFileSizeEx(file.get(), &size)) {
    return INVALID_HANDLE_VALUE;
  }
  return file.release();
}

bool seek(HANDLE file, LONGLONG offset, DWORD from) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(file, to, nullptr, from) != 0;
}

// Appends of this process, one at a time. A slim lock needs no set-up and
// no clean-up, and it does not bring the C++ runtime's error texts along.
SRWLOCK recordLock = SRWLOCK_INIT;

class RecordTurn {
 public:
  RecordTurn() { AcquireSRWLockExclusive(&recordLock); }
  ~RecordTurn() { ReleaseSRWLockExclusive(&recordLock); }
  RecordTurn(const RecordTurn&) = delete;
  RecordTurn& operator=(const RecordTurn&) = delete;
};

}  // namespace

bool appendRecord(const std::string& name, std::string_view record, std::uint64_t limit, const std::string& previous) {
  if (record.size() > kLargestTransfer) return false;
  const RecordTurn turn;
  LARGE_INTEGER size{};
  Handle file(openRecordFile(name, size));
  if (!file) return false;
  if (size.QuadPart > 0 && static_cast<std::uint64_t>(size.QuadPart) + record.size() > limit) {
    // A file is renamed only once no handle of this process holds it.
    file.reset(INVALID_HANDLE_VALUE);
    if (!MoveFileExW(utf8ToWide(name).c_str(), utf8ToWide(previous).c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    file.reset(openRecordFile(name, size));
    if (!file) return false;
  }
  char last = '\n';
  DWORD read = 0;
  if (size.QuadPart > 0 && (!seek(file.get(), size.QuadPart - 1, FILE_BEGIN) ||
                            !win32Calls.ReadFile(file.get(), &last, 1, &read, nullptr) || read != 1)) {
    return false;
  }
  std::string joined;
  if (last != '\n') {
    joined.reserve(record.size() + 1);
    joined.append(1, '\n').append(record);
    record = joined;
  }
  if (!seek(file.get(), 0, FILE_END)) return false;
  DWORD written = 0;
  const BOOL ok = win32Calls.WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  if (ok && written == record.size()) return true;
  if (written > 0 && seek(file.get(), -static_cast<LONGLONG>(written), FILE_CURRENT)) SetEndOfFile(file.get());
  return false;
}

}  // namespace qel::platform
