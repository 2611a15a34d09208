// The Win32 side of the system's error texts: error codes as FormatMessageW words them.
#include <windows.h>

#include <memory>

#include "platform/platform.h"

namespace qel::platform {
namespace {

constexpr wchar_t kUnknownError[] = L"Unknown error";

struct LocalFreer {
  void operator()(wchar_t* text) const noexcept { LocalFree(text); }
};

bool isTrailingBlank(wchar_t c) { return c == L'\r' || c == L'\n' || c == L' '; }

}  // namespace

std::wstring systemErrorText(std::uint32_t code) {
  wchar_t* raw = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreer> owned(raw);
  // The system's texts end in a line break, which has no place in the middle
  // of a message of ours.
  std::wstring text(length > 0 ? raw : L"", length);
  while (!text.empty() && isTrailingBlank(text.back())) text.pop_back();
  return text.empty() ? kUnknownError : text;
}

}  // namespace qel::platform
