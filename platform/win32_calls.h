// The system calls of the Win32 working-folder files and message boxes, made
// through one table whose rows tests may point at stand-ins that fail, come
// back short or hold a file locked.
#pragma once

#include <windows.h>

#include "platform/system_call.h"

namespace qel::platform::detail {

struct Win32Calls {
  SystemCall<decltype(::CreateFileW)> CreateFileW;
  SystemCall<decltype(::ReadFile)> ReadFile;
  SystemCall<decltype(::WriteFile)> WriteFile;
  SystemCall<decltype(::GetFileSizeEx)> GetFileSizeEx;
  SystemCall<decltype(::GetFileType)> GetFileType;
  SystemCall<decltype(::CloseHandle)> CloseHandle;
  SystemCall<decltype(::GetFileAttributesW)> GetFileAttributesW;
  SystemCall<decltype(::GetFileInformationByHandleEx)> GetFileInformationByHandleEx;
  SystemCall<decltype(::LockFileEx)> LockFileEx;
  SystemCall<decltype(::UnlockFileEx)> UnlockFileEx;
  SystemCall<decltype(::SetFilePointerEx)> SetFilePointerEx;
  SystemCall<decltype(::SetEndOfFile)> SetEndOfFile;
  // The pause between two tries of a locked file.
  SystemCall<decltype(::Sleep)> Sleep;
  SystemCall<decltype(::MessageBoxW)> MessageBoxW;
  // The steady clock of the progress window and of waits.
  SystemCall<decltype(::GetTickCount64)> GetTickCount64;
};

extern Win32Calls win32Calls;

}  // namespace qel::platform::detail
