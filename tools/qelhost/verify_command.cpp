// Loading the installed library and finding its exports, the two things the
// box office does before its first sale; check runs qelhost's own copy of
// the library's code and would pass a library that cannot load.
#include "tools/qelhost/verify_command.h"

#include "boxoffice/host_library.h"
#include "tools/qelhost/system.h"

namespace qel::qelhost {
namespace {

// Every export the box office may call.
constexpr const char* kExports[] = {
    "hrECInit",    "hrECDeInit",          "hrECConfig",           "hrECGetModuleInfo", "hrECGetModuleFeatures",
    "hrECExecute", "hrECRefund",          "hrECGetPayStatus",     "hrECRecover",       "hrReprintECReceipt",
    "hrDoShift",   "vECGetLastErrorText", "vECShowLastErrorText",
};

}  // namespace

void verifyLibrary(const std::filesystem::path& library, std::ostream& out) {
  const std::string version = libraryVersion(library);
  out << "QelConnect " << version << " (" << library.u8string() << ")\n";
  const boxoffice::HostLibrary loaded(library);
  out << "  loaded\n";
  for (const char* name : kExports) loaded.symbol(name);
  out << "  all " << std::size(kExports) << " exports found; nothing was called or sent\n";
}

}  // namespace qel::qelhost
