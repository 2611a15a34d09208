// The POSIX side of data protection: there is no DPAPI, so nothing is ever
// protected or decrypted.
#include <cerrno>

#include "platform/platform.h"

namespace qel::platform {

bool dataProtectionAvailable() { return false; }

bool protectText(std::string_view, std::string_view, const std::wstring&, ProtectionScope, std::string&,
                 std::uint32_t& systemError) {
  systemError = ENOSYS;
  return false;
}

bool unprotectText(std::string_view, std::string_view, SecretBytes&, std::wstring&, std::uint32_t& systemError) {
  systemError = ENOSYS;
  return false;
}

}  // namespace qel::platform
