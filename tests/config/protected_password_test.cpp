// endpoint/protectedPassword as the library reads it: never beside a second
// password, refused where the system has no data protection, and where it
// has, decrypted to the password it was made from or refused with the
// operator's message and the system's code.
#include "config/protected_password.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/vub_exception.h"
#include "config/connector_config.h"
#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

namespace qel {
namespace {

class ProtectedPasswordTest : public ::testing::Test {
 protected:
  // Loads a QelConnect.xml whose endpoint holds `passwords` and a url; an
  // exception's message and code come back in `failure`.
  static ConnectorConfig load(const std::string& passwords, VubException& failure) {
    {
      std::ofstream out("QelConnect.xml", std::ios::binary);
      out << "<endpoint><username>kasse</username>" << passwords << "<url>http://h/</url></endpoint>";
    }
    ConnectorConfig config;
    try {
      config.loadFromFile("QelConnect.xml");
    } catch (const VubException& e) {
      failure = e;
    }
    return config;
  }

  static std::string element(const std::string& text) { return "<protectedPassword>" + text + "</protectedPassword>"; }

  test::ScratchDir folder_;
};

TEST_F(ProtectedPasswordTest, BesideAPasswordIsRefusedWhereverItRuns) {
  VubException failure(L"");
  load("<password>geheim</password>" + element("AAAA"), failure);
  EXPECT_EQ(failure.message(),
            L"Configuration file 'QelConnect.xml' has both endpoint/password and endpoint/protectedPassword; keep "
            L"only one of them.");
}

// Where there is no data protection, the element is refused as the file is
// read, even beside an empty password element, and nothing can be protected.
TEST_F(ProtectedPasswordTest, WithoutDataProtectionTheElementIsRefused) {
  if (platform::dataProtectionAvailable()) GTEST_SKIP() << "this system has data protection";
  for (const std::string& passwords : {element("AAAA"), "<password/>" + element("")}) {
    VubException failure(L"");
    load(passwords, failure);
    EXPECT_EQ(failure.message(),
              L"endpoint/protectedPassword in configuration file 'QelConnect.xml' needs the Windows Data Protection "
              L"API, which this build does not have; use endpoint/password.")
        << passwords;
  }
  EXPECT_THROW(protectPassword("geheim", platform::ProtectionScope::Machine), VubException);
}

// A value made here decrypts to the password in either scope, through the
// same call a transfer makes; every value that does not decrypt here ends in
// the operator's message with the system's code, and the file is read
// without complaint, since the password is decrypted only for a transfer.
TEST_F(ProtectedPasswordTest, DecryptsOnlyWhatWasProtectedHereForQelConnect) {
  if (!platform::dataProtectionAvailable()) GTEST_SKIP() << "no data protection on this system";
  const std::string password = "geh\xC3\xA9im & <mehr>";
  for (const auto& [scope, expected] : {std::pair{platform::ProtectionScope::Machine, PasswordScope::Machine},
                                        std::pair{platform::ProtectionScope::User, PasswordScope::User}}) {
    VubException failure(L"");
    const ConnectorConfig config = load("<password></password>" + element(protectPassword(password, scope)), failure);
    ASSERT_EQ(failure.message(), L"");
    ASSERT_TRUE(config.hasProtectedPassword);
    EXPECT_EQ(config.password, L"");
    const UnprotectedPassword clear = unprotectPassword(config.protectedPassword, config.fileName);
    EXPECT_EQ(clear.utf8.view(), password);
    EXPECT_EQ(clear.scope, expected);
  }

  std::string changed = protectPassword(password, platform::ProtectionScope::Machine);
  // A letter of the encrypted text and its signature at the end, which
  // every implementation checks (Wine's leaves parts of the header alone).
  char& letter = changed[changed.size() - 40];
  letter = letter == 'A' ? 'B' : 'A';
  std::string foreign;
  std::uint32_t error = 0;
  ASSERT_TRUE(
      platform::protectText(password, "another program", L"", platform::ProtectionScope::Machine, foreign, error));
  const struct {
    const char* name;
    std::string text;
  } undecryptable[] = {{"empty", ""},
                       {"not Base64", "kein*Base64!"},
                       {"one letter changed", changed},
                       {"another program's entropy", foreign}};
  const std::wstring prefix =
      L"Could not decrypt endpoint/protectedPassword in configuration file 'QelConnect.xml' (protected on another "
      L"computer or for another user?): ";
  for (const auto& c : undecryptable) {
    VubException failure(L"");
    const ConnectorConfig config = load(element(c.text), failure);
    ASSERT_EQ(failure.message(), L"") << c.name;
    try {
      unprotectPassword(config.protectedPassword, config.fileName);
      ADD_FAILURE() << c.name << " decrypted";
    } catch (const VubException& e) {
      EXPECT_EQ(e.message().rfind(prefix, 0), 0u) << c.name;
      EXPECT_NE(e.code(), 0) << c.name;
      const std::wstring code = L" (" + std::to_wstring(e.code()) + L")";
      EXPECT_EQ(e.message().substr(e.message().size() - code.size()), code) << c.name;
    }
  }
}

}  // namespace
}  // namespace qel
