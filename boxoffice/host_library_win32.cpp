// HostLibrary on Windows: the DLL loaded with LoadLibraryW, its exports found
// with GetProcAddress.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "boxoffice/host_library.h"

namespace qel::boxoffice {
namespace {

constexpr wchar_t kLibraryFileName[] = L"QelConnect.dll";

}  // namespace

HostLibrary::HostLibrary(const std::filesystem::path& path) : handle_(LoadLibraryW(path.c_str())) {
  if (handle_ == nullptr) {
    throw std::runtime_error("cannot load the library (Windows error " + std::to_string(GetLastError()) + ")");
  }
}

HostLibrary::~HostLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

std::filesystem::path HostLibrary::besideProgram() {
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

void* HostLibrary::symbol(const char* name) const {
  void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
  if (address == nullptr) throw std::runtime_error(std::string("the library has no export ") + name);
  return address;
}

}  // namespace qel::boxoffice
