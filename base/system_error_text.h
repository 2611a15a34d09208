// How a message names a failed system call: the system's own text followed
// by its code, "Permission denied (13)".
#pragma once

#include <cstdint>
#include <string>

namespace qel {

// `code` is errno (POSIX) or a Win32 error code (Windows).
std::wstring systemErrorWithCode(std::uint32_t code);

}  // namespace qel
