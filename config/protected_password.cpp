// Protecting and decrypting endpoint/protectedPassword, with the operator's
// message for a value that does not decrypt here.
#include "config/protected_password.h"

#include <cstdint>

#include "base/system_error_text.h"
#include "base/vub_exception.h"

namespace qel {
namespace {

// Mixed into every protection, so that a value protected by another program
// on the same computer is not taken for QelConnect's, and QelConnect's cannot
// be decrypted by a program that does not know this. Never to be changed:
// every protected password in the field depends on it.
constexpr std::string_view kEntropy = "QelConnect endpoint/protectedPassword 1";

// Stored unencrypted beside the secret; it tells qelhost check the scope.
const wchar_t kMachineDescription[] = L"QelConnect password (machine scope)";
const wchar_t kUserDescription[] = L"QelConnect password (user scope)";

const wchar_t kNotProtected[] = L"Could not protect the password: ";
const wchar_t kNotDecryptedPrefix[] = L"Could not decrypt endpoint/protectedPassword in configuration file '";
const wchar_t kNotDecryptedSuffix[] = L"' (protected on another computer or for another user?): ";

}  // namespace

std::string protectPassword(std::string_view utf8Password, platform::ProtectionScope scope) {
  const wchar_t* description = scope == platform::ProtectionScope::Machine ? kMachineDescription : kUserDescription;
  std::string base64;
  std::uint32_t error = 0;
  if (!platform::protectText(utf8Password, kEntropy, description, scope, base64, error)) {
    throw VubException(kNotProtected + systemErrorWithCode(error), static_cast<std::int32_t>(error));
  }
  return base64;
}

UnprotectedPassword unprotectPassword(std::string_view base64, const std::string& utf8FileName) {
  UnprotectedPassword password;
  std::wstring description;
  std::uint32_t error = 0;
  if (!platform::unprotectText(base64, kEntropy, password.utf8, description, error)) {
    throw VubException(
        kNotDecryptedPrefix + platform::utf8ToWide(utf8FileName) + kNotDecryptedSuffix + systemErrorWithCode(error),
        static_cast<std::int32_t>(error));
  }
  if (description == kMachineDescription) password.scope = PasswordScope::Machine;
  if (description == kUserDescription) password.scope = PasswordScope::User;
  return password;
}

platform::SecretBytes passwordToSend(const ConnectorConfig& config) {
  if (config.hasProtectedPassword) return unprotectPassword(config.protectedPassword, config.fileName).utf8;
  return platform::secretUtf8(config.password);
}

}  // namespace qel
