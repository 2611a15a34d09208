// qelhost protect-password: reads the cash register's password without
// showing it, protects it with the Windows Data Protection API and prints the
// element that takes the place of endpoint/password in QelConnect.xml.
#include "tools/qelhost/protect_command.h"

#include <iostream>
#include <string>

#include "base/vub_exception.h"
#include "config/protected_password.h"
#include "host/trace_schema.h"
#include "platform/platform.h"
#include "tools/qelhost/error_line.h"
#include "tools/qelhost/secret_input.h"

namespace qel::qelhost {
namespace {

constexpr char kPrompt[] = "Password of the cash register: ";
constexpr char kUnavailable[] =
    "qelhost: protect-password needs the Windows Data Protection API, which this build does not have\n";
constexpr char kEmpty[] = "qelhost: the password is empty; nothing to protect\n";
constexpr char kNotUtf8[] = "qelhost: the password is not UTF-8 text\n";
constexpr char kPasteHint[] = "Put this element into <endpoint> in QelConnect.xml in place of <password>:\n";

// Wipes the text read when it goes, on every path.
struct TypedPassword {
  ~TypedPassword() { platform::wipeString(text); }
  std::string text;
};

}  // namespace

int runProtectPassword(bool userScope, std::ostream& out) {
  const platform::ProtectionScope scope =
      userScope ? platform::ProtectionScope::User : platform::ProtectionScope::Machine;
  if (!platform::dataProtectionAvailable()) {
    std::cerr << kUnavailable;
    return kExitFailed;
  }
  TypedPassword password;
  password.text = readSecret(kPrompt);
  if (password.text.empty()) {
    std::cerr << kEmpty;
    return kExitFailed;
  }
  if (!platform::isValidUtf8(password.text)) {
    std::cerr << kNotUtf8;
    return kExitFailed;
  }
  try {
    const std::string element = protectPassword(password.text, scope);
    std::cerr << kPasteHint;
    out << "<protectedPassword>" << element << "</protectedPassword>\n";
  } catch (const VubException& e) {
    printError(platform::wideToUtf8(e.message()));
    return kExitFailed;
  }
  return kExitRan;
}

}  // namespace qel::qelhost
