// Tests of ConnectionCheck against servers on 127.0.0.1: each stage passes or
// fails where a sale would, with the message a sale would show, and nothing
// is ever sent.
#include "transport/connection_check.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/vub_exception.h"
#include "order/order.h"
#include "platform/platform.h"
#include "tests/support/server_loopback.h"
#include "tests/support/tls_fixture.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using test::httpResponse;
using test::KasseSimFixture;
using test::LoopbackServer;

constexpr StageOutcome P = StageOutcome::Passed;
constexpr StageOutcome F = StageOutcome::Failed;
constexpr StageOutcome R = StageOutcome::NotReached;
constexpr StageOutcome N = StageOutcome::NotNeeded;

std::vector<StageResult> check(const std::wstring& url, const std::wstring& caFile = L"") {
  ConnectorConfig config;
  config.url = url;
  config.caFile = caFile;
  return ConnectionCheck(config).run();
}

std::string describe(const std::vector<StageResult>& results) {
  std::string text;
  for (const StageResult& r : results) {
    text += std::to_string(static_cast<int>(r.outcome)) + " " + platform::wideToUtf8(r.detail) + "\n";
  }
  return text;
}

void expectOutcomes(const std::vector<StageResult>& results, std::vector<StageOutcome> expected) {
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].stage, ConnectionStage::Resolve);
  EXPECT_EQ(results[1].stage, ConnectionStage::Connect);
  EXPECT_EQ(results[2].stage, ConnectionStage::Handshake);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(results[i].outcome, expected[i]) << describe(results);
}

// The failed stage carries libcurl's result and the operator's form of the
// message: libcurl's text for it, ": ", the detail.
void expectFailure(const StageResult& result, CURLcode code) {
  EXPECT_EQ(result.outcome, F);
  EXPECT_EQ(result.code, code) << platform::wideToUtf8(result.detail);
  const std::wstring prefix = platform::ansiToWide(curl_easy_strerror(code)) + L": ";
  EXPECT_EQ(result.detail.rfind(prefix, 0), 0u) << platform::wideToUtf8(result.detail);
}

TEST(ConnectionCheckTest, PlainHttpServerPassesWithoutHandshakeAndReceivesNothing) {
  LoopbackServer server(httpResponse(200, "<ok/>"));
  const std::vector<StageResult> results = check(server.url());
  expectOutcomes(results, {P, P, N});
  EXPECT_EQ(results[0].detail, L"127.0.0.1");
  EXPECT_EQ(results[1].detail, L"127.0.0.1 port " + std::to_wstring(server.port()));
  EXPECT_TRUE(ConnectionCheck::allPassed(results));

  // The server handles one connection after the other, so once this post is
  // answered the check's connection has been read to its end: the post must
  // be the only request the server ever saw.
  HttpClient::globalInit();
  HttpClient client;
  client.postForBytes(server.url(), "<after-the-check/>");
  const std::vector<test::ReceivedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, "<after-the-check/>");
}

TEST(ConnectionCheckTest, FailuresStopAtTheirStage) {
  struct Case {
    const char* name;
    std::wstring url;
    std::size_t failedStage;
    CURLcode code;
    std::vector<StageOutcome> outcomes;
  };
  // Nothing listens on port 1 of the loopback address, and the top-level
  // domain "invalid" never resolves.
  const Case cases[] = {
      {"unresolvable host", L"https://kasse.invalid/sap/kasse", 0, CURLE_COULDNT_RESOLVE_HOST, {F, R, R}},
      {"unresolvable host, plain", L"http://kasse.invalid/sap/kasse", 0, CURLE_COULDNT_RESOLVE_HOST, {F, R, N}},
      {"refused", L"https://127.0.0.1:1/sap/kasse", 1, CURLE_COULDNT_CONNECT, {P, F, R}},
      {"refused, plain", L"http://127.0.0.1:1/sap/kasse", 1, CURLE_COULDNT_CONNECT, {P, F, N}},
      {"unknown scheme", L"htps://127.0.0.1/sap/kasse", 0, CURLE_UNSUPPORTED_PROTOCOL, {F, R, R}},
      // libcurl could read the file, but a sale only ever speaks http(s).
      {"local file", L"file:///etc/passwd", 0, CURLE_UNSUPPORTED_PROTOCOL, {F, R, N}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<StageResult> results = check(c.url);
    expectOutcomes(results, c.outcomes);
    expectFailure(results[c.failedStage], c.code);
    EXPECT_FALSE(ConnectionCheck::allPassed(results));
  }
}

class ConnectionCheckTlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = KasseSimFixture::fromEnvironment();
    if (!fixture_) GTEST_FAIL() << "the HTTPS servers are started by CTest (QEL_KASSE_SIM_DIR is not set)";
  }

  std::optional<KasseSimFixture> fixture_;
};

TEST_F(ConnectionCheckTlsTest, CertificateThatChainsToCaFilePasses) {
  const std::vector<StageResult> results = check(fixture_->url("trusted"), fixture_->widePath("ca.pem"));
  expectOutcomes(results, {P, P, P});
  EXPECT_EQ(results[0].detail, L"localhost: 127.0.0.1");
  EXPECT_EQ(results[2].detail, L"certificate verified against " + fixture_->widePath("ca.pem"));
  EXPECT_FALSE(results[2].withoutSubjectAltName);
  EXPECT_TRUE(ConnectionCheck::allPassed(results));
}

// A certificate that names its host only in the common name: OpenSSL
// accepts it, and the check warns that Windows will not; Schannel refuses
// it outright.
TEST_F(ConnectionCheckTlsTest, CertificateWithoutSubjectAltNameIsPointedOut) {
  const std::vector<StageResult> results = check(fixture_->url("noaltname"), fixture_->widePath("ca.pem"));
#if defined(_WIN32)
  expectOutcomes(results, {P, P, F});
  EXPECT_NE(results[2].detail.find(L"schannel: CertFindExtension() returned no extension."), std::wstring::npos)
      << platform::wideToUtf8(results[2].detail);
#else
  expectOutcomes(results, {P, P, P});
  EXPECT_TRUE(results[2].withoutSubjectAltName);
#endif
}

TEST_F(ConnectionCheckTlsTest, RefusedCertificatesFailTheHandshake) {
  struct Case {
    const char* server;
    const char* caFile;
    CURLcode code;
  };
  const Case cases[] = {
      {"untrusted", "ca.pem", CURLE_PEER_FAILED_VERIFICATION},
      {"trusted", "other-ca.pem", CURLE_PEER_FAILED_VERIFICATION},
      {"wrongname", "ca.pem", CURLE_PEER_FAILED_VERIFICATION},
      {"trusted", "no-such-ca.pem", CURLE_SSL_CACERT_BADFILE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " with " + c.caFile);
    const std::vector<StageResult> results = check(fixture_->url(c.server), fixture_->widePath(c.caFile));
    expectOutcomes(results, {P, P, F});
    expectFailure(results[2], c.code);
  }
}

// The operator's message for a sale to the same server, word for word.
TEST_F(ConnectionCheckTlsTest, HandshakeFailureReadsAsTheSaleWould) {
  ConnectorConfig config;
  config.url = fixture_->url("untrusted");
  config.caFile = fixture_->widePath("ca.pem");
  std::wstring saleMessage;
  try {
    KasseResponse response;
    KasseExchange(config).transfer(Order(), response);
  } catch (const VubException& e) {
    saleMessage = e.message();
  }
  ASSERT_FALSE(saleMessage.empty()) << "the sale went through";
  EXPECT_EQ(ConnectionCheck(config).run()[2].detail, saleMessage);
}

}  // namespace
}  // namespace qel
