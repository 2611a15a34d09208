// A DLL loaded the way the box-office application loads its payment-system
// plug-in: LoadLibraryW, exports found by name, unloaded by the owner.
#pragma once

#include <string>

namespace qel::winhost {

class LoadedLibrary {
 public:
  // Loads the DLL at `path`; throws std::runtime_error with the system's
  // error code when it cannot be loaded.
  explicit LoadedLibrary(const std::wstring& path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The module handle (HMODULE) that LoadLibraryW returned.
  void* handle() const { return module_; }

  // The address of the export `name`; throws std::runtime_error when the
  // library has no such export.
  void* symbol(const char* name) const;

  template <typename Function>
  Function function(const char* name) const {
    return reinterpret_cast<Function>(symbol(name));
  }

 private:
  void* module_ = nullptr;
};

}  // namespace qel::winhost
