// The Win32 side of the working-folder files: kernel handles shared with
// other readers and writers, no C runtime streams, each handle closed before
// the call returns.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A file renamed by another process between our open and our lock is opened
// again under its name; more tries than this mean something else keeps
// renaming it.
constexpr int kRenamedRetries = 16;
// The lock covers one byte far past the end of any file: Windows locks bind
// the reads and writes of the bytes they cover, and nobody reads or writes
// there.
constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

// Opens `name` itself, not what a link or another reparse point leads to.
// Every writer shares deletion, so that a file can be renamed while other
// processes hold it open waiting for their turn.
HANDLE openForWriting(const std::string& name, DWORD access, DWORD disposition) {
  return win32Calls.CreateFileW(utf8ToWide(name).c_str(), access, kShareAll, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A regular file with this one name: no folder, no link, no other reparse
// point and no second name through which a write would reach another file.
bool isPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         info.nNumberOfLinks == 1;
}

// The last part of a path, after its last separator.
std::wstring_view lastPart(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// False when the system names the opened file other than `name`: where a
// link is not seen as a reparse point (Wine shows a Unix symbolic link as
// the file it leads to), the file's own name still tells. A file system
// that gives no name is taken at its word.
bool openedAsNamed(HANDLE file, const std::string& name) {
  const DWORD room = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
  std::wstring path(room, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(file, path.data(), room, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= room) return true;
  path.resize(length);
  const std::wstring wanted = utf8ToWide(name);
  const std::wstring_view opened = lastPart(path);
  const std::wstring_view asked = lastPart(wanted);
  return CompareStringOrdinal(opened.data(), static_cast<int>(opened.size()), asked.data(),
                              static_cast<int>(asked.size()), TRUE) == CSTR_EQUAL;
}

// True when `name` still leads to the file that `info` describes.
bool stillNamed(const std::string& name, const BY_HANDLE_FILE_INFORMATION& info) {
  const Handle named(openForWriting(name, FILE_READ_ATTRIBUTES, OPEN_EXISTING));
  BY_HANDLE_FILE_INFORMATION now{};
  return named && GetFileInformationByHandle(named.get(), &now) &&
         now.dwVolumeSerialNumber == info.dwVolumeSerialNumber && now.nFileIndexHigh == info.nFileIndexHigh &&
         now.nFileIndexLow == info.nFileIndexLow;
}

OVERLAPPED lockedByte() {
  OVERLAPPED at{};
  at.OffsetHigh = kLockedByteHigh;
  return at;
}

// The turn of one writer of a file among all processes that write it; a
// file system without locks still gets its writes.
class FileTurn {
 public:
  explicit FileTurn(HANDLE file) : file_(file) {
    OVERLAPPED at = lockedByte();
    locked_ = LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
  }
  ~FileTurn() {
    OVERLAPPED at = lockedByte();
    if (locked_) UnlockFileEx(file_, 0, 1, 0, &at);
  }
  FileTurn(const FileTurn&) = delete;
  FileTurn& operator=(const FileTurn&) = delete;

 private:
  HANDLE file_;
  bool locked_;
};

// A working-folder file opened with `access`, created when missing, in its
// writer's turn: refused unless it is a plain file, and opened again when
// another process renamed it while this one waited for the turn.
class LockedFile {
 public:
  LockedFile(const std::string& name, DWORD access) {
    for (int attempt = 0; attempt < kRenamedRetries; ++attempt) {
      file_.reset(openForWriting(name, access, OPEN_ALWAYS));
      if (!file_) return;
      turn_ = std::make_unique<FileTurn>(file_.get());
      if (!GetFileInformationByHandle(file_.get(), &info_) || !isPlainFile(info_) ||
          !openedAsNamed(file_.get(), name)) {
        break;
      }
      if (stillNamed(name, info_)) return;
      turn_.reset();
    }
    turn_.reset();
    file_.reset(INVALID_HANDLE_VALUE);
  }

  explicit operator bool() const { return static_cast<bool>(file_); }
  HANDLE get() const { return file_.get(); }
  LONGLONG size() const {
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(info_.nFileSizeHigh) << 32) | info_.nFileSizeLow);
  }

 private:
  Handle file_{INVALID_HANDLE_VALUE};
  // Given up before the handle closes.
  std::unique_ptr<FileTurn> turn_;
  BY_HANDLE_FILE_INFORMATION info_{};
};

bool seek(HANDLE file, LONGLONG offset, DWORD from) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(file, to, nullptr, from) != 0;
}

// Appends all of `bytes` to the locked file `name` through its append-only
// handle, which writes at the end wherever other writers left it. A write
// that fails part of the way (a full disk) is taken back to the length the
// file had, through a handle that may cut it, so that no half an entry
// stays behind for the next one to be glued to.
bool appendWhole(const std::string& name, const LockedFile& file, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t wanted = bytes.size() < kLargestTransfer ? bytes.size() : kLargestTransfer;
    DWORD written = 0;
    if (!win32Calls.WriteFile(file.get(), bytes.data(), static_cast<DWORD>(wanted), &written, nullptr) ||
        written == 0) {
      const Handle cutter(openForWriting(name, GENERIC_WRITE, OPEN_EXISTING));
      if (cutter && seek(cutter.get(), file.size(), FILE_BEGIN)) SetEndOfFile(cutter.get());
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

// Read access, which the lock needs, and appending.
constexpr DWORD kAppendAccess = GENERIC_READ | FILE_APPEND_DATA;

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

bool appendToFile(const std::string& name, std::string_view bytes) {
  const LockedFile file(name, kAppendAccess);
  return file && appendWhole(name, file, bytes);
}

bool truncateFile(const std::string& name) {
  // Opened without emptying, and emptied only once it is known to be ours.
  const LockedFile file(name, GENERIC_READ | GENERIC_WRITE);
  return file && SetEndOfFile(file.get());
}

bool appendRecord(const std::string& name, std::string_view record, std::uint64_t limit, const std::string& previous) {
  if (record.size() > kLargestTransfer) return false;
  const RecordTurn turn;
  for (int attempt = 0; attempt < kRenamedRetries; ++attempt) {
    const LockedFile file(name, kAppendAccess);
    if (!file) return false;
    const LONGLONG size = file.size();
    if (size > 0 && static_cast<std::uint64_t>(size) + record.size() > limit) {
      // Renamed in this writer's turn, which the others then find on a file
      // that no longer has the name: they open the new one.
      if (!MoveFileExW(utf8ToWide(name).c_str(), utf8ToWide(previous).c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
      continue;
    }
    char last = '\n';
    DWORD read = 0;
    if (size > 0 && (!seek(file.get(), size - 1, FILE_BEGIN) ||
                     !win32Calls.ReadFile(file.get(), &last, 1, &read, nullptr) || read != 1)) {
      return false;
    }
    std::string joined;
    if (last != '\n') {
      joined.reserve(record.size() + 1);
      joined.append(1, '\n').append(record);
      record = joined;
    }
    return appendWhole(name, file, record);
  }
  return false;
}

}  // namespace qel::platform
