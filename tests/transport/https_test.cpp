// Tests of TLS verification: the cash register must prove its identity with
// a certificate that chains to a trusted CA and names the host.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/tls_fixture.h"
#include "tests/transport/vub_failure.h"
#include "transport/connection_options.h"
#include "transport/curl_easy.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using test::KasseSimFixture;
using test::vubFailure;

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = KasseSimFixture::fromEnvironment();
    if (!fixture_) GTEST_FAIL() << "the HTTPS servers are started by CTest (QEL_KASSE_SIM_DIR is not set)";
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

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

TEST_F(HttpsTest, CaFileIsTheOnlyTrust) {
  // Self-signed, and signed by a CA that is not in the file.
  expectRefused("untrusted", "ca.pem", CURLE_PEER_FAILED_VERIFICATION);
  expectRefused("trusted", "other-ca.pem", CURLE_PEER_FAILED_VERIFICATION);

  // A libcurl build may also trust a CA directory by default (Debian's
  // names /etc/ssl/certs). Here a directory that trusts the test CA stands
  // in for it: beside caFile it must count for nothing.
  const struct {
    const char* caFile;
    CURLcode result;
  } cases[] = {
      {"", CURLE_OK},  // the directory alone trusts the server
      {"ca.pem", CURLE_OK},
      {"other-ca.pem", CURLE_PEER_FAILED_VERIFICATION},
  };
  for (const auto& c : cases) {
    const curl::EasyHandle handle(curl_easy_init());
    ASSERT_TRUE(handle);
    if (curl_easy_setopt(handle.get(), CURLOPT_CAPATH, fixture_->path("ca-directory").c_str()) != CURLE_OK) {
      GTEST_SKIP() << "this libcurl trusts no CA directory";
    }
    setConnectionRules(handle.get());
    setTlsVerification(handle.get(), *c.caFile == '\0' ? "" : fixture_->path(c.caFile));
    ASSERT_EQ(curl_easy_setopt(handle.get(), CURLOPT_URL, platform::wideToUtf8(fixture_->url("trusted")).c_str()),
              CURLE_OK);
    ASSERT_EQ(curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, discard), CURLE_OK);
    EXPECT_EQ(curl_easy_perform(handle.get()), c.result) << "caFile '" << c.caFile << "'";
  }
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

// Every way a caFile or the cash register's certificate can go wrong, with
// the operator's message as each target words it; docs/troubleshooting.md
// lists these texts. $CA stands for the fixture's folder, $PORT for the
// server's port. The Windows texts are those of Wine 8 in the German
// locale that scripts/wine-run.sh sets; Windows words the system's part
// ("Datei nicht gefunden.") in its own language.
TEST_F(HttpsTest, EveryTlsFailureReadsAsDocumented) {
  struct Case {
    const char* what;
    const char* server;
    const char* scheme;  // of the url
    const char* caFile;  // in the fixture's folder; "" for none
    const char* linuxText;
    const char* windowsText;
  };
  const Case cases[] = {
      {"self-signed", "untrusted", "https", "ca.pem",
       "SSL peer certificate or SSH remote key was not OK: SSL certificate problem: self-signed certificate",
       "SSL peer certificate or SSH remote key was not OK: schannel: CertGetCertificateChain trust error "
       "CERT_TRUST_IS_UNTRUSTED_ROOT"},
      {"wrong CA", "trusted", "https", "other-ca.pem",
       "SSL peer certificate or SSH remote key was not OK: SSL certificate problem: unable to get local issuer "
       "certificate",
       "SSL peer certificate or SSH remote key was not OK: schannel: CertGetCertificateChain trust error "
       "CERT_TRUST_IS_PARTIAL_CHAIN"},
      {"wrong host name", "wrongname", "https", "ca.pem",
       "SSL peer certificate or SSH remote key was not OK: SSL: no alternative certificate subject name matches target "
       "host name 'localhost'",
       "SSL peer certificate or SSH remote key was not OK: schannel: CertGetNameString() failed to match connection "
       "hostname (localhost) against server certificate names"},
      {"no subjectAltName", "noaltname", "https", "ca.pem", "accepted",
       "SSL peer certificate or SSH remote key was not OK: schannel: CertFindExtension() returned no extension."},
      {"caFile missing", "trusted", "https", "no-such-ca.pem",
       "Problem with the SSL CA cert (path? access rights?): error setting certificate file: $CA/no-such-ca.pem",
       "Problem with the SSL CA cert (path? access rights?): schannel: failed to open CA file '$CA/no-such-ca.pem': "
       "Datei nicht gefunden."},
      {"caFile in DER form", "trusted", "https", "ca.der",
       "CA file '$CA/ca.der' holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)",
       "CA file '$CA/ca.der' holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)"},
      {"caFile of text", "trusted", "https", "not-pem.txt",
       "CA file '$CA/not-pem.txt' holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)",
       "CA file '$CA/not-pem.txt' holds no certificate in PEM form (-----BEGIN CERTIFICATE-----)"},
      {"caFile of 1 MiB", "trusted", "https", "ca-1mib.pem", "accepted", "accepted"},
      {"caFile over 1 MiB", "trusted", "https", "ca-over-1mib.pem", "CA file '$CA/ca-over-1mib.pem' exceeds 1 MiB",
       "CA file '$CA/ca-over-1mib.pem' exceeds 1 MiB"},
      {"https to plain HTTP", "plain", "https", "ca.pem",
       "SSL connect error: OpenSSL/$VERSION: error:0A00010B:SSL routines::wrong version number",
       "Timeout was reached: SSL/TLS connection timeout"},
      {"http to TLS", "trusted", "http", "", "Server returned nothing (no headers, no data): Empty reply from server",
       "Server returned nothing (no headers, no data): Empty reply from server"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConnectorConfig config;
    std::wstring url = fixture_->url(c.server);
    url.replace(0, url.find(L"://"), platform::utf8ToWide(c.scheme));
    config.url = url;
    if (*c.caFile != '\0') config.caFile = fixture_->widePath(c.caFile);
    std::string message;
    try {
      KasseResponse response;
      KasseExchange(config).transfer(Order(), response);
      message = "accepted";
    } catch (const VubException& e) {
      message = platform::wideToUtf8(e.message());
    }
    const std::string folder = fixture_->path("");
    for (std::size_t at; (at = message.find(folder)) != std::string::npos;) message.replace(at, folder.size(), "$CA/");
    const std::size_t port = url.find(L":", url.find(L"://") + 3);
    const std::string portText = platform::wideToUtf8(url.substr(port + 1, url.find(L'/', port) - port - 1));
    for (std::size_t at; (at = message.find(portText)) != std::string::npos;)
      message.replace(at, portText.size(), "$PORT");
    // OpenSSL names its own version.
    const std::size_t version = message.find("OpenSSL/");
    if (version != std::string::npos)
      message.replace(version + 8, message.find(':', version) - version - 8, "$VERSION");
#if defined(_WIN32)
    EXPECT_EQ(message, c.windowsText);
#else
    EXPECT_EQ(message, c.linuxText);
#endif
  }
}

}  // namespace
}  // namespace qel
