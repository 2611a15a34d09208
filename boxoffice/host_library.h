// The payment-system library loaded as the box-office application loads its
// plug-in: by path (dlopen, LoadLibraryW), exports found by name.
#pragma once

#include <filesystem>

#include "host/qelconnect.h"

namespace qel::boxoffice {

class HostLibrary {
 public:
  // Loads the library at `path`; throws std::runtime_error when it cannot.
  explicit HostLibrary(const std::filesystem::path& path);
  ~HostLibrary();
  HostLibrary(const HostLibrary&) = delete;
  HostLibrary& operator=(const HostLibrary&) = delete;

  // The library's file name beside this executable.
  static std::filesystem::path besideProgram();

  // The handle the loader returned (an HMODULE on Windows).
  void* handle() const { return handle_; }

  // The address of the export `name`; throws std::runtime_error when the
  // library has no such export.
  void* symbol(const char* name) const;

  template <typename Function>
  Function function(const char* name) const {
    return reinterpret_cast<Function>(symbol(name));
  }

  // The exports a host calls, typed from the library's own header and looked
  // up on each call, so that a library lacking one fails only where it is used.
  decltype(&hrECInit) init() const { return function<decltype(&hrECInit)>("hrECInit"); }
  decltype(&hrECDeInit) deinit() const { return function<decltype(&hrECDeInit)>("hrECDeInit"); }
  decltype(&hrECExecute) execute() const { return function<decltype(&hrECExecute)>("hrECExecute"); }
  decltype(&hrECRefund) refund() const { return function<decltype(&hrECRefund)>("hrECRefund"); }

 private:
  void* handle_ = nullptr;
};

}  // namespace qel::boxoffice
