// HostLibrary on Linux: the development library opened with dlopen.
#include <dlfcn.h>

#include <stdexcept>
#include <string>
#include <system_error>

#include "boxoffice/host_library.h"

namespace qel::boxoffice {
namespace {

constexpr char kLibraryFileName[] = "libQelConnect.so";

}  // namespace

// The library stays mapped after dlclose: unmapping it would cut its globals
// (libcurl's and OpenSSL's among them) off from the memory they hold, which
// leak checkers would then report. A host keeps it for its life anyway.
HostLibrary::HostLibrary(const std::filesystem::path& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
  if (handle_ == nullptr) throw std::runtime_error(std::string("cannot load the library: ") + dlerror());
}

HostLibrary::~HostLibrary() { dlclose(handle_); }

std::filesystem::path HostLibrary::besideProgram() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return kLibraryFileName;
  return self.parent_path() / kLibraryFileName;
}

void* HostLibrary::symbol(const char* name) const {
  void* address = dlsym(handle_, name);
  if (address == nullptr) throw std::runtime_error(std::string("the library has no export ") + name);
  return address;
}

}  // namespace qel::boxoffice
