// The Win32 side of the working-folder files: whole reads and the steps that
// record_files.cpp writes its policy over, on kernel handles shared with
// other readers and writers, without C runtime streams.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/plain_file.h"
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

 private:
  HANDLE handle_;
};

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// ReadFile and WriteFile take a DWORD count.
constexpr std::size_t kLargestTransfer = 0x40000000;

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
  for (int retry = 0; retry < kLockRetries && isLocked(result); ++retry) {
    detail::pauseBetweenTries();
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

namespace detail {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The lock covers one byte far past the end of any file: Windows locks bind
// the reads and writes of the bytes they cover, and nobody reads or writes
// there.
constexpr DWORD kLockedByteHigh = 0x7FFFFFFF;

HANDLE handleOf(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

// The last part of a path, after its last separator.
std::wstring_view lastPart(std::wstring_view path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// False when the system names the opened file other than `name`: where a
// link is not seen as a reparse point (Wine shows a Unix symbolic link as
// the file it leads to), the file's own name still tells. The name is the
// one within its volume, which asks no more of the system than the handle
// (the name with its drive letter costs a look at every drive). A file
// system that gives no name is taken at its word.
bool openedAsNamed(HANDLE file, const std::wstring& name) {
  // FILE_NAME_INFO: the name's length in bytes, then its characters.
  alignas(FILE_NAME_INFO) unsigned char room[sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t)];
  std::vector<unsigned char> larger;
  unsigned char* info = room;
  if (!win32Calls.GetFileInformationByHandleEx(file, FileNameInfo, room, sizeof room)) {
    if (GetLastError() != ERROR_MORE_DATA) return true;
    larger.resize(sizeof(FILE_NAME_INFO) + reinterpret_cast<const FILE_NAME_INFO*>(room)->FileNameLength);
    info = larger.data();
    if (!win32Calls.GetFileInformationByHandleEx(file, FileNameInfo, info, static_cast<DWORD>(larger.size()))) {
      return true;
    }
  }
  const auto* named = reinterpret_cast<const FILE_NAME_INFO*>(info);
  const std::wstring_view opened = lastPart({named->FileName, named->FileNameLength / sizeof(wchar_t)});
  const std::wstring_view asked = lastPart(name);
  return CompareStringOrdinal(opened.data(), static_cast<int>(opened.size()), asked.data(),
                              static_cast<int>(asked.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

// Opens `name` itself, not what a link or another reparse point leads to.
NativeFile openPlain(const std::string& name, Access access) {
  const std::wstring wide = utf8ToWide(name);
  const DWORD rights = access == Access::Write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD disposition = access == Access::Write ? OPEN_ALWAYS : OPEN_EXISTING;
  Handle file(win32Calls.CreateFileW(wide.c_str(), rights, kShareAll, nullptr, disposition,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return kNoFile;
  if (!openedAsNamed(file.get(), wide)) {
    closeFile(reinterpret_cast<NativeFile>(file.release()));
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    return kNoFile;
  }
  return reinterpret_cast<NativeFile>(file.release());
}

void closeFile(NativeFile file) { win32Calls.CloseHandle(handleOf(file)); }

LockTry tryLock(NativeFile file, bool exclusive) {
  OVERLAPPED lockedByte = at(static_cast<std::uint64_t>(kLockedByteHigh) << 32);
  const DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
  if (win32Calls.LockFileEx(handleOf(file), flags, 0, 1, 0, &lockedByte)) return LockTry::Taken;
  const DWORD error = GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockTry::Busy : LockTry::Unsupported;
}

void unlockFile(NativeFile file) {
  OVERLAPPED lockedByte = at(static_cast<std::uint64_t>(kLockedByteHigh) << 32);
  win32Calls.UnlockFileEx(handleOf(file), 0, 1, 0, &lockedByte);
}

// The two classes of GetFileInformationByHandleEx that tell what is needed
// here, each one question to the file system; GetFileInformationByHandle
// would also fetch the volume's serial number, which under Wine is a round
// trip to its mount manager (about a millisecond).
bool fileState(NativeFile file, FileState& state) {
  FILE_STANDARD_INFO standard{};
  FILE_ATTRIBUTE_TAG_INFO attributes{};
  if (!win32Calls.GetFileInformationByHandleEx(handleOf(file), FileStandardInfo, &standard, sizeof standard) ||
      !win32Calls.GetFileInformationByHandleEx(handleOf(file), FileAttributeTagInfo, &attributes, sizeof attributes)) {
    return false;
  }
  state.plain = !standard.Directory &&
                (attributes.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                standard.NumberOfLinks == 1;
  state.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  return true;
}

bool readAt(NativeFile file, std::uint64_t offset, char* into, std::size_t size, std::size_t& got) {
  OVERLAPPED position = at(offset);
  DWORD read = 0;
  const DWORD wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
  const bool ok = win32Calls.ReadFile(handleOf(file), into, wanted, &read, &position) != 0;
  got = read;
  // A read that starts at or past the end reports the end as an error.
  return ok || GetLastError() == ERROR_HANDLE_EOF;
}

bool writeAt(NativeFile file, std::uint64_t offset, const char* bytes, std::size_t size, std::size_t& written) {
  OVERLAPPED position = at(offset);
  DWORD moved = 0;
  const DWORD wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
  const bool ok = win32Calls.WriteFile(handleOf(file), bytes, wanted, &moved, &position) != 0;
  written = moved;
  return ok;
}

bool cutAt(NativeFile file, std::uint64_t size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(size);
  return win32Calls.SetFilePointerEx(handleOf(file), to, nullptr, FILE_BEGIN) &&
         win32Calls.SetEndOfFile(handleOf(file));
}

void pauseMilliseconds(int milliseconds) { win32Calls.Sleep(static_cast<DWORD>(milliseconds)); }

std::uint32_t lastError() { return GetLastError(); }

bool isMissing(std::uint32_t error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace detail
}  // namespace qel::platform
