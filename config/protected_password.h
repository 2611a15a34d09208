// endpoint/protectedPassword: the cash register's password encrypted with the
// Windows Data Protection API under QelConnect's own entropy, as Base64 text.
#pragma once

#include <string>
#include <string_view>

#include "config/connector_config.h"
#include "platform/platform.h"

namespace qel {

// The scope that the description inside a protected password names; Unknown
// for one that QelConnect did not write.
enum class PasswordScope { Machine, User, Unknown };

// The element's text for `utf8Password`. Throws VubException with the
// system's reason when it cannot be protected.
std::string protectPassword(std::string_view utf8Password, platform::ProtectionScope scope);

struct UnprotectedPassword {
  platform::SecretBytes utf8;
  PasswordScope scope = PasswordScope::Unknown;
};

// Decrypts the element's text from configuration file `utf8FileName`.
// Throws VubException with the operator's message and the system's error
// code when that is not possible on this computer for this user.
UnprotectedPassword unprotectPassword(std::string_view base64, const std::string& utf8FileName);

// The password that a request to the cash register carries, in UTF-8:
// endpoint/protectedPassword decrypted, or else endpoint/password. Throws
// as unprotectPassword does.
platform::SecretBytes passwordToSend(const ConnectorConfig& config);

}  // namespace qel
