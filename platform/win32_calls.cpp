// The Win32 system-call table with the system's own calls in every row.
#include "platform/win32_calls.h"

namespace qel::platform::detail {

Win32Calls win32Calls = {
    {"CreateFileW", &::CreateFileW},
    {"ReadFile", &::ReadFile},
    {"WriteFile", &::WriteFile},
    {"GetFileSizeEx", &::GetFileSizeEx},
    {"GetFileType", &::GetFileType},
    {"CloseHandle", &::CloseHandle},
    {"GetFileAttributesW", &::GetFileAttributesW},
    {"GetFileInformationByHandleEx", &::GetFileInformationByHandleEx},
    {"LockFileEx", &::LockFileEx},
    {"UnlockFileEx", &::UnlockFileEx},
    {"SetFilePointerEx", &::SetFilePointerEx},
    {"SetEndOfFile", &::SetEndOfFile},
    {"Sleep", &::Sleep},
    {"MessageBoxW", &::MessageBoxW},
    {"GetTickCount64", &::GetTickCount64},
};

}  // namespace qel::platform::detail
