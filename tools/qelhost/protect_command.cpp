// qelhost protect-password: reads the cash register's password without
// showing it, protects it with the Windows Data Protection API and prints the
// element that takes the place of endpoint/password in QelConnect.xml.
#include "tools/qelhost/protect_command.h"

#include <iostream>
#include <string>
#include <string_view>

#include "base/vub_exception.h"
#include "config/protected_password.h"
#include "platform/platform.h"
#include "tools/qelhost/error_line.h"
#include "tools/qelhost/exit_codes.h"
#include "tools/qelhost/secret_input.h"

namespace qel::qelhost {
namespace {

constexpr char kUsage[] =
    "usage: qelhost protect-password [--user-scope]\n"
    "\n"
    "Reads the cash register's password (typed without echo, or from standard\n"
    "input when that is not a console), encrypts it with the Windows Data\n"
    "Protection API and prints the element endpoint/protectedPassword, which\n"
    "replaces endpoint/password in QelConnect.xml. It can be decrypted only on\n"
    "this computer: by every user of it (the default), or with --user-scope by\n"
    "the Windows user who runs this command alone.\n";
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

int runProtectPassword(int argc, char** argv, std::ostream& out) {
  platform::ProtectionScope scope = platform::ProtectionScope::Machine;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out << kUsage;
      return kExitRan;
    }
    if (arg != "--user-scope") {
      printError("protect-password: unknown argument " + std::string(arg));
      std::cerr << "\n" << kUsage;
      return kExitUsage;
    }
    scope = platform::ProtectionScope::User;
  }
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
