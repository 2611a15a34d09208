// The Windows side of the command-line host: LoadLibraryW, real message
// boxes answered through the test hosts' dialog hook, and the ANSI code page.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <stdexcept>
#include <utility>

#include "platform/platform.h"
#include "tools/qelhost/dialog_answerer.h"
#include "tools/qelhost/system.h"
#include "tools/winhost/dialog_answerer.h"

namespace qel::qelhost {
namespace {

constexpr wchar_t kLibraryFileName[] = L"QelConnect.dll";

std::wstring toWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
  return wide;
}

std::string fromWide(std::wstring_view wide, UINT codePage) {
  if (wide.empty()) return {};
  int length = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string lastErrorText(const char* what) {
  return std::string(what) + " (Windows error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

Library::Library(const std::filesystem::path& path) : handle_(LoadLibraryW(path.c_str())) {
  if (handle_ == nullptr) throw std::runtime_error(lastErrorText("cannot load the library"));
}

Library::~Library() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* Library::symbol(const char* name) const {
  void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
  if (address == nullptr) throw std::runtime_error(std::string("the library has no export ") + name);
  return address;
}

// The boxes are real windows: the hook reads each one and asks the answerer
// which button to press.
struct DialogSeam::State {
  explicit State(DialogAnswerer& answerer)
      : hook([&answerer](const winhost::ShownDialog& dialog) {
          bool hasCancel = std::find(dialog.buttons.begin(), dialog.buttons.end(), winhost::kIdCancel) !=
                           dialog.buttons.end();
          bool ok = answerer.answer(platform::wideToUtf8(dialog.caption), platform::wideToUtf8(dialog.text),
                                    hasCancel ? DialogButtons::OkCancel : DialogButtons::Ok);
          return ok ? winhost::kIdOk : winhost::kIdCancel;
        }) {}

  winhost::DialogAnswerer hook;
};

DialogSeam::DialogSeam(const Library& /*library*/, DialogAnswerer& answerer)
    : state_(std::make_unique<State>(answerer)) {}

DialogSeam::~DialogSeam() = default;

bool standardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::filesystem::path defaultLibraryPath() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0) return kLibraryFileName;
    if (length < self.size()) {
      self.resize(length);
      break;
    }
    self.resize(self.size() * 2);
  }
  return std::filesystem::path(self).parent_path() / kLibraryFileName;
}

std::string libraryVersion(const std::filesystem::path& library) {
  const std::wstring file = library.wstring();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) throw std::runtime_error(lastErrorText(("no version resource in " + library.string()).c_str()));
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data())) {
    throw std::runtime_error(lastErrorText(("cannot read the version resource of " + library.string()).c_str()));
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
    throw std::runtime_error("the version resource of " + library.string() + " lists no language");
  }
  const Translation* first = static_cast<const Translation*>(value);
  wchar_t key[64];
  swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", first->language, first->codePage);
  if (!VerQueryValueW(info.data(), key, &value, &length) || length == 0) {
    throw std::runtime_error("the version resource of " + library.string() + " has no ProductVersion");
  }
  return platform::wideToUtf8(static_cast<const wchar_t*>(value));
}

std::string utf8ToHostText(const std::string& utf8) { return fromWide(toWide(utf8, CP_UTF8), CP_ACP); }

}  // namespace qel::qelhost
