// The scripted system faults on Windows: stand-ins for the rows of the Win32
// call table, a lock that no other program needs to hold, pauses that take
// no time, boxes answered without a window, and the cases that handles can
// show.
#include <windows.h>

#include <algorithm>

#include "platform/win32_calls.h"
#include "tests/platform/system_faults.h"

namespace qel::test {
namespace {

using platform::FileRead;
using platform::detail::win32Calls;

// Counts the call; true, with the last error set, when its script has it
// fail now.
bool failsNow(const char* call) {
  CallScript& s = SystemFaults::live()[call];
  ++s.calls;
  if (s.passes > 0) {
    --s.passes;
    return false;
  }
  if (s.failures == 0) return false;
  if (s.failures > 0) --s.failures;
  SetLastError(s.error);
  return true;
}

DWORD most(const char* call, DWORD size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, SystemFaults::live()[call].most));
}

HANDLE WINAPI createFileStandIn(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
  if (failsNow("CreateFileW")) return INVALID_HANDLE_VALUE;
  return win32Calls.CreateFileW.original(name, access, share, security, disposition, flags, model);
}

BOOL WINAPI readFileStandIn(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
  if (failsNow("ReadFile")) return FALSE;
  return win32Calls.ReadFile.original(file, buffer, most("ReadFile", size), got, overlapped);
}

BOOL WINAPI writeFileStandIn(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (failsNow("WriteFile")) return FALSE;
  return win32Calls.WriteFile.original(file, buffer, most("WriteFile", size), written, overlapped);
}

BOOL WINAPI getFileSizeExStandIn(HANDLE file, PLARGE_INTEGER size) {
  if (failsNow("GetFileSizeEx")) return FALSE;
  const BOOL result = win32Calls.GetFileSizeEx.original(file, size);
  if (result && SystemFaults::live()["GetFileSizeEx"].noSize) size->QuadPart = 0;
  return result;
}

DWORD WINAPI getFileTypeStandIn(HANDLE file) {
  return failsNow("GetFileType") ? FILE_TYPE_UNKNOWN : win32Calls.GetFileType.original(file);
}

BOOL WINAPI closeHandleStandIn(HANDLE handle) {
  const bool fails = failsNow("CloseHandle");
  const BOOL result = win32Calls.CloseHandle.original(handle);
  return fails ? FALSE : result;
}

DWORD WINAPI getFileAttributesStandIn(LPCWSTR name) {
  return failsNow("GetFileAttributesW") ? INVALID_FILE_ATTRIBUTES : win32Calls.GetFileAttributesW.original(name);
}

BOOL WINAPI getFileInformationStandIn(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info, DWORD size) {
  return failsNow("GetFileInformationByHandleEx")
             ? FALSE
             : win32Calls.GetFileInformationByHandleEx.original(file, kind, info, size);
}

BOOL WINAPI lockFileStandIn(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at) {
  return failsNow("LockFileEx") ? FALSE : win32Calls.LockFileEx.original(file, flags, reserved, low, high, at);
}

BOOL WINAPI unlockFileStandIn(HANDLE file, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at) {
  return failsNow("UnlockFileEx") ? FALSE : win32Calls.UnlockFileEx.original(file, reserved, low, high, at);
}

BOOL WINAPI setFilePointerStandIn(HANDLE file, LARGE_INTEGER to, PLARGE_INTEGER now, DWORD from) {
  return failsNow("SetFilePointerEx") ? FALSE : win32Calls.SetFilePointerEx.original(file, to, now, from);
}

BOOL WINAPI setEndOfFileStandIn(HANDLE file) {
  return failsNow("SetEndOfFile") ? FALSE : win32Calls.SetEndOfFile.original(file);
}

// Counted, never waited.
void WINAPI sleepStandIn(DWORD) { failsNow("Sleep"); }

int WINAPI messageBoxStandIn(HWND, LPCWSTR, LPCWSTR, UINT) {
  if (failsNow("MessageBoxW")) return 0;
  SystemFaults::live().countBox();
  return IDOK;
}

// Hands `f` every row of the table with its stand-in.
template <typename F>
void forEachRow(F&& f) {
  f(win32Calls.CreateFileW, &createFileStandIn);
  f(win32Calls.ReadFile, &readFileStandIn);
  f(win32Calls.WriteFile, &writeFileStandIn);
  f(win32Calls.GetFileSizeEx, &getFileSizeExStandIn);
  f(win32Calls.GetFileType, &getFileTypeStandIn);
  f(win32Calls.CloseHandle, &closeHandleStandIn);
  f(win32Calls.GetFileAttributesW, &getFileAttributesStandIn);
  f(win32Calls.GetFileInformationByHandleEx, &getFileInformationStandIn);
  f(win32Calls.LockFileEx, &lockFileStandIn);
  f(win32Calls.UnlockFileEx, &unlockFileStandIn);
  f(win32Calls.SetFilePointerEx, &setFilePointerStandIn);
  f(win32Calls.SetEndOfFile, &setEndOfFileStandIn);
  f(win32Calls.Sleep, &sleepStandIn);
  f(win32Calls.MessageBoxW, &messageBoxStandIn);
}

}  // namespace

SystemFaults::SystemFaults() {
  live_ = this;
  forEachRow([this](auto& row, auto* standIn) {
    scripts_[row.name];
    row.current = standIn;
  });
}

SystemFaults::~SystemFaults() {
  forEachRow([](auto& row, auto*) { row.current = row.original; });
  live_ = nullptr;
}

int SystemFaults::pauses() const { return scripts_.find("Sleep")->second.calls; }

LockCall lockCall() { return {"LockFileEx", ERROR_LOCK_VIOLATION}; }

const char* boxCall() { return "MessageBoxW"; }

std::uint32_t ioError() { return ERROR_IO_DEVICE; }

const std::vector<FileFaultCase>& fileFaultCases() {
  static const std::vector<FileFaultCase> cases = {
      {"a sharing violation that clears after three tries", "CreateFileW", failing(ERROR_SHARING_VIOLATION, 3),
       FileRead::Ok, 0, 3, Written::Yes, Written::Yes, Written::Yes},
      {"a sharing violation that never clears", "CreateFileW", failing(ERROR_SHARING_VIOLATION), FileRead::NotOpened,
       ERROR_SHARING_VIOLATION, 20, Written::No, Written::No, Written::No},
      {"a lock violation on reading that clears", "ReadFile", failing(ERROR_LOCK_VIOLATION, 2), FileRead::Ok, 0, 2,
       Written::Yes, Written::Yes, Written::Yes},
      {"an open refused", "CreateFileW", failing(ERROR_ACCESS_DENIED), FileRead::NotOpened, ERROR_ACCESS_DENIED, 0,
       Written::No, Written::No, Written::No},
      // A record reads the file's last byte first, which the fault fails.
      {"a read that fails", "ReadFile", failing(ERROR_IO_DEVICE), FileRead::Failed, ERROR_IO_DEVICE, 0, Written::Yes,
       Written::No, Written::Yes},
      {"a size that cannot be read", "GetFileSizeEx", failing(ERROR_IO_DEVICE), FileRead::Failed, ERROR_IO_DEVICE, 0,
       Written::Yes, Written::Yes, Written::Yes},
      {"a file that reports no size", "GetFileSizeEx", withoutSize(), FileRead::Ok, 0, 0, Written::Yes, Written::Yes,
       Written::Yes},
      {"a file that is no disk file", "GetFileType", failing(ERROR_INVALID_HANDLE), FileRead::NotRegular, 0, 0,
       Written::Yes, Written::Yes, Written::Yes},
      {"writes of one byte each", "WriteFile", atMost(1), FileRead::Ok, 0, 0, Written::Yes, Written::Yes, Written::Yes},
      {"a write that moves nothing", "WriteFile", atMost(0), FileRead::Ok, 0, 0, Written::No, Written::No,
       Written::Yes},
      {"a full disk", "WriteFile", failing(ERROR_DISK_FULL), FileRead::Ok, 0, 0, Written::No, Written::No,
       Written::Yes},
      {"a disk full after 300 bytes", "WriteFile", fillingUp(300, ERROR_DISK_FULL), FileRead::Ok, 0, 0, Written::No,
       Written::No, Written::Yes},
      {"a file that cannot be cut", "SetEndOfFile", failing(ERROR_IO_DEVICE), FileRead::Ok, 0, 0, Written::Yes,
       Written::Yes, Written::No},
      {"a file system without locks", "LockFileEx", failing(ERROR_NOT_SUPPORTED), FileRead::Ok, 0, 0, Written::Yes,
       Written::Yes, Written::Yes},
      {"a close that fails", "CloseHandle", failing(ERROR_INVALID_HANDLE), FileRead::Ok, 0, 0, Written::Yes,
       Written::Yes, Written::Yes},
  };
  return cases;
}

const std::vector<SaleFault>& saleFaults() {
  static const std::vector<SaleFault> faults = {
      {"a configuration locked for two tries", "CreateFileW", failing(ERROR_SHARING_VIOLATION, 2), true},
      {"files locked for good", "CreateFileW", failing(ERROR_SHARING_VIOLATION), false},
      {"a read locked for a while", "ReadFile", failing(ERROR_LOCK_VIOLATION, 3), true},
      {"a configuration that cannot be read", "ReadFile", failing(ERROR_IO_DEVICE), false},
      {"a Sales.ini that cannot be read", "ReadFile", failing(ERROR_IO_DEVICE, -1, 1), false},
      {"a size that cannot be read", "GetFileSizeEx", failing(ERROR_IO_DEVICE), false},
      {"the log written a byte at a time", "WriteFile", atMost(1), true},
      {"a full disk", "WriteFile", failing(ERROR_DISK_FULL), true},
  };
  return faults;
}

}  // namespace qel::test
