// Tests of TLS verification: the cash register must prove its identity with
// a certificate that chains to a trusted CA and names the host.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/tls_fixture.h"
#include "tests/transport/vub_failure.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using test::KasseSimFixture;
using test::vubFailure;

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = KasseSimFixture::fromEnvironment();
    if (!fixture_) GTEST_SKIP() << "the HTTPS servers are started by CTest (QEL_KASSE_SIM_DIR is not set)";
  }

  KasseResponse transfer(const std::string& server, const std::string& caFile) const {
    ConnectorConfig config;
    config.url = fixture_->url(server);
    if (!caFile.empty()) config.caFile = fixture_->widePath(caFile);
    KasseExchange exchange(config);
    KasseResponse response;
    exchange.transfer(Order(), response);
    return response;
  }

  // A refused certificate fails like any transfer: libcurl's text for the
  // result, ": " and the detail from the error buffer.
  void expectRefused(const std::string& server, const std::string& caFile, CURLcode code) const {
    const VubException e = vubFailure([&] { transfer(server, caFile); });
    EXPECT_EQ(e.code(), code) << server << " with '" << caFile << "': " << platform::wideToUtf8(e.message());
    const std::wstring prefix = platform::ansiToWide(curl_easy_strerror(code)) + L": ";
    EXPECT_EQ(e.message().rfind(prefix, 0), 0u) << platform::wideToUtf8(e.message());
  }

  std::optional<KasseSimFixture> fixture_;
};

TEST_F(HttpsTest, CertificateThatChainsToCaFileIsAccepted) {
  const KasseResponse response = transfer("trusted", "ca.pem");
  EXPECT_EQ(response.rect, 0);
}

TEST_F(HttpsTest, CaFileIsTheOnlyTrust) {
  // Self-signed, and signed by a CA that is not in the file.
  expectRefused("untrusted", "ca.pem", CURLE_PEER_FAILED_VERIFICATION);
  expectRefused("trusted", "other-ca.pem", CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(HttpsTest, CertificateForAnotherHostIsRefused) {
  expectRefused("wrongname", "ca.pem", CURLE_PEER_FAILED_VERIFICATION);
}

// QelConnect.xml gives the path as UTF-8; a folder with umlauts in its name
// must be found on Windows too, whose file functions otherwise take the ANSI
// code page.
TEST_F(HttpsTest, CaFileInAFolderWithUmlautsIsFound) {
  const std::string folder = fixture_->path("Zertifikate f\xC3\xBCr die Kasse");
  std::filesystem::create_directories(std::filesystem::u8path(folder));
  std::filesystem::copy_file(std::filesystem::u8path(fixture_->path("ca.pem")),
                             std::filesystem::u8path(folder + "/ca.pem"),
                             std::filesystem::copy_options::overwrite_existing);
  ConnectorConfig config;
  config.url = fixture_->url("trusted");
  config.caFile = platform::utf8ToWide(folder + "/ca.pem");
  KasseResponse response;
  KasseExchange(config).transfer(Order(), response);
  EXPECT_EQ(response.rect, 0);
}

TEST_F(HttpsTest, UnreadableCaFileFailsTheTransfer) {
  expectRefused("trusted", "no-such-ca.pem", CURLE_SSL_CACERT_BADFILE);
}

// Without caFile the system's store decides, and it knows neither the
// self-signed certificate nor the test CA.
TEST_F(HttpsTest, SystemStoreRefusesUnknownCertificates) {
  if (const char* gap = std::getenv("QEL_TEST_SYSTEM_STORE_GAP")) GTEST_SKIP() << gap;
  expectRefused("untrusted", "", CURLE_PEER_FAILED_VERIFICATION);
  expectRefused("trusted", "", CURLE_PEER_FAILED_VERIFICATION);
}

}  // namespace
}  // namespace qel
