// Loads a DLL with LoadLibraryW and looks up its exports with GetProcAddress.
#include "tools/winhost/loaded_library.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace qel::winhost {

LoadedLibrary::LoadedLibrary(const std::wstring& path) {
  module_ = LoadLibraryW(path.c_str());
  if (module_ == nullptr) {
    throw std::runtime_error("LoadLibraryW failed with error " + std::to_string(GetLastError()));
  }
}

LoadedLibrary::~LoadedLibrary() { FreeLibrary(static_cast<HMODULE>(module_)); }

void* LoadedLibrary::symbol(const char* name) const {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(module_), name);
  if (address == nullptr) throw std::runtime_error(std::string("the library has no export ") + name);
  return reinterpret_cast<void*>(address);
}

}  // namespace qel::winhost
