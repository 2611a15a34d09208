// The password line of qelhost check.
#include "tools/qelhost/password_status.h"

#include "base/vub_exception.h"
#include "config/protected_password.h"
#include "platform/platform.h"

namespace qel::qelhost {
namespace {

constexpr char kMask[] = "********";
constexpr char kEmpty[] = "'' (the default: empty)";
constexpr char kMachineScope[] = "protected (machine scope), decrypts here";
constexpr char kUserScope[] = "protected (user scope), decrypts here";
constexpr char kOtherScope[] = "protected, decrypts here";
constexpr char kNotDecrypted[] = "protected, does NOT decrypt here";

}  // namespace

std::string passwordStatus(const ConnectorConfig& config, std::string& problem) {
  problem.clear();
  if (!config.hasProtectedPassword) return config.password.empty() ? kEmpty : kMask;
  try {
    // The clear text is wiped as soon as the scope is known.
    switch (unprotectPassword(config.protectedPassword, config.fileName).scope) {
      case PasswordScope::Machine:
        return kMachineScope;
      case PasswordScope::User:
        return kUserScope;
      case PasswordScope::Unknown:
        return kOtherScope;
    }
  } catch (const VubException& e) {
    problem = platform::wideToUtf8(e.message());
  }
  return kNotDecrypted;
}

}  // namespace qel::qelhost
