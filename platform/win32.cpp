// The Win32 side of the platform layer: message boxes, the module's own
// address and resources and code-page conversion (its files are in
// win32_files.cpp).
#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include "platform/platform.h"
#include "platform/win32_calls.h"

namespace qel::platform {
namespace {

// The resource type of the request templates; Windows matches type names
// without regard to case, so this finds the TEMPLATE resources.
constexpr const wchar_t* kTemplateType = L"Template";

// Any address inside this module's code identifies the module; the address
// of a function defined here is one that the linker cannot move elsewhere.
void moduleAnchor() {}

HMODULE ownModule() {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&moduleAnchor), &module)) return nullptr;
  return module;
}

// The conversion functions take int lengths; a 32-bit process cannot hold a
// text of 2 GiB, so every length that reaches them fits.
std::wstring toWide(UINT codePage, std::string_view bytes) {
  std::wstring out;
  if (bytes.empty()) return out;
  const int length = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (needed <= 0) return out;
  out.resize(static_cast<std::size_t>(needed));
  const int written = MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

// A box of MB_ `type` owned by `owner`.
int showBox(void* owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  HWND window = static_cast<HWND>(owner);
  // Windows refuses a box whose owner has gone; the operator must still be
  // asked.
  if (window != nullptr && !IsWindow(window)) window = nullptr;
  return detail::win32Calls.MessageBoxW(window, text, caption, type);
}

}  // namespace

static_assert(static_cast<UINT>(Buttons::Ok) == MB_OK && static_cast<UINT>(Buttons::OkCancel) == MB_OKCANCEL &&
                  static_cast<UINT>(Buttons::YesNoCancel) == MB_YESNOCANCEL,
              "the button sets are MessageBoxW's own values");
static_assert(kIdOk == IDOK && kIdCancel == IDCANCEL && kIdYes == IDYES && kIdNo == IDNO,
              "the answers are MessageBoxW's own values");

int messageBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons) {
  return showBox(owner, text, caption, static_cast<UINT>(buttons));
}

int warningBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons) {
  return showBox(owner, text, caption, static_cast<UINT>(buttons) | detail::warningStyle(buttons));
}

LocalTime localTime(std::int64_t unixMs) {
  // A FILETIME counts 100-nanosecond steps since 1601-01-01.
  constexpr std::int64_t kStepsFrom1601To1970 = 116444736000000000;
  const auto steps = static_cast<std::uint64_t>(unixMs * 10000 + kStepsFrom1601To1970);
  const FILETIME utc{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
  SYSTEMTIME utcParts{}, local{};
  if (!FileTimeToSystemTime(&utc, &utcParts) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &local)) {
    return {};
  }
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute};
}

BrokenPipeShield::BrokenPipeShield() : savedMask_{} {}
BrokenPipeShield::~BrokenPipeShield() = default;

std::int64_t utcMilliseconds() {
  // A FILETIME counts 100-nanosecond steps since 1601-01-01; the C++
  // runtime's clock would bring along the threads library's clock calls.
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::int64_t steps = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr std::int64_t kStepsFrom1601To1970 = 116444736000000000;
  return (steps - kStepsFrom1601To1970) / 10000;
}

std::uint32_t processId() { return GetCurrentProcessId(); }

void randomBytes(void* out, std::size_t size) {
  // Windows 7 takes the system's preferred generator without an algorithm
  // handle; libcurl imports the same function.
  BCryptGenRandom(nullptr, static_cast<PUCHAR>(out), static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
}

std::uintptr_t moduleBaseAddress() {
  // The region that holds this module's code was reserved when the loader
  // mapped the image, so its allocation base is the image base.
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<LPCVOID>(&moduleAnchor), &info, sizeof info) == 0) return 0;
  return reinterpret_cast<std::uintptr_t>(info.AllocationBase);
}

bool pinModule() {
  // A pinned module ignores FreeLibrary; a later LoadLibraryW finds it still
  // mapped at the same base and only counts a reference.
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN;
  return GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&moduleAnchor), &module) != 0;
}

bool runsUnderWine() {
  // Wine's ntdll exports its version; Windows' does not.
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<std::string_view> findTemplate(std::uint16_t id, std::uint32_t& lastError) {
  // The templates are always taken from the module that holds this code (the
  // DLL), never from the host's executable.
  HMODULE module = ownModule();
  if (module == nullptr) {
    lastError = GetLastError();
    return std::nullopt;
  }
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), kTemplateType);
  if (info == nullptr) {
    lastError = GetLastError();
    return std::nullopt;
  }
  HGLOBAL handle = LoadResource(module, info);
  const DWORD size = SizeofResource(module, info);
  const void* data = handle != nullptr ? LockResource(handle) : nullptr;
  if (data == nullptr) {
    lastError = GetLastError();
    return std::nullopt;
  }
  // Resources lie back to back and carry no terminator: the size bounds the
  // text. Resource memory belongs to the mapped image and needs no release.
  return std::string_view(static_cast<const char*>(data), size);
}

std::wstring utf8ToWide(std::string_view bytes) { return toWide(CP_UTF8, bytes); }

// Host texts arrive in the ANSI code page of the thread that calls the
// library, which follows that thread's locale.
std::wstring ansiToWide(std::string_view bytes) { return toWide(CP_THREAD_ACP, bytes); }

std::string wideToUtf8(std::wstring_view text) {
  std::string out;
  if (text.empty()) return out;
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return out;
  out.resize(static_cast<std::size_t>(needed));
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

bool isValidUtf8(std::string_view bytes) {
  if (bytes.empty()) return true;
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) >
         0;
}

}  // namespace qel::platform
