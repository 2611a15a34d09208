// The Windows side of the command-line host: the console, the version
// resource and the ANSI code page.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "tools/qelhost/system.h"

namespace qel::qelhost {
namespace {

std::wstring toWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

std::string fromWide(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return {};
  int length =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string lastErrorText(const char* what) {
  return std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

void paintHeldBoxActive() {
  // Wine paints a program's first box with an inactive caption while no
  // window has the X server's focus, although it is the foreground window;
  // its frame is told again that it is active and painted at once, since
  // the thread blocks next.
  HWND box = GetActiveWindow();
  if (box == nullptr || box != GetForegroundWindow()) return;
  SendMessageW(box, WM_NCACTIVATE, TRUE, 0);
  RedrawWindow(box, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::string libraryVersion(const std::filesystem::path& library) {
  const std::wstring file = library.wstring();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) throw std::runtime_error(lastErrorText(("no version resource in " + library.u8string()).c_str()));
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data())) {
    throw std::runtime_error(lastErrorText(("cannot read the version resource of " + library.u8string()).c_str()));
  }
  // The strings are looked up under the first language that the resource
  // lists in its translation table.
  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < sizeof(Translation)) {
    throw std::runtime_error("the version resource of " + library.u8string() + " lists no language");
  }
  const Translation* first = static_cast<const Translation*>(value);
  wchar_t key[64];
  swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", first->language, first->codePage);
  if (!VerQueryValueW(info.data(), key, &value, &length) || length == 0) {
    throw std::runtime_error("the version resource of " + library.u8string() + " has no ProductVersion");
  }
  return platform::wideToUtf8(static_cast<const wchar_t*>(value));
}

std::string utf8ToHostText(const std::string& utf8) { return fromWide(toWide(utf8, CP_UTF8), CP_ACP); }

}  // namespace qel::qelhost
