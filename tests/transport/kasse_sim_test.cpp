// Tests of a transfer to the cash-register simulator, which checks the
// request as the SAP service does: credentials, content type, envelope.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "boxoffice/host_sale.h"
#include "order/host_records.h"
#include "platform/platform.h"
#include "tests/support/tls_fixture.h"
#include "tests/transport/vub_failure.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using test::KasseSimFixture;
using test::vubFailure;

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class KasseSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = KasseSimFixture::fromEnvironment();
    if (!fixture_) GTEST_FAIL() << "the simulator is started by CTest (QEL_KASSE_SIM_DIR is not set)";
  }

  ConnectorConfig config(const std::wstring& password = L"geh\u00E9im") const {
    ConnectorConfig config;
    config.url = fixture_->url("plain");
    config.username = L"kasse";
    config.password = password;
    return config;
  }

  std::optional<KasseSimFixture> fixture_;
};

TEST_F(KasseSimTest, WellFormedOrderWithCredentialsIsAccepted) {
  KasseExchange exchange(config());
  KasseResponse response;
  exchange.transfer(Order(), response);
  EXPECT_EQ(response.rect, 0);
  EXPECT_EQ(response.rectmsg, L"Beleg \u00FCbernommen");
}

// A sale with everything in it passes the simulator's check of every
// element, list count and value form.
TEST_F(KasseSimTest, RichSaleIsAccepted) {
  boxoffice::SaleBytes sale;
  sale.id = 471;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 119.5;
  sale.poolId = 3;
  boxoffice::PositionBytes position;
  position.id = 1;
  position.aboauftrag = 1;
  position.gesamtpreis = 59.75;
  position.event = boxoffice::EventBytes{77, 123, 5, 20240501, 20240502, "Konzert \"A&B\" <live> \xFC"};
  position.tickets = {boxoffice::TicketBytes{9001, 1.5, 0.25, 29.875}, boxoffice::TicketBytes{9002, 1.5, 0.25, 29.875}};
  sale.positions = {position, position};
  sale.versandkosten = boxoffice::FeeBytes{1, "EUR", 3.0, 19.0};
  sale.vorverkaufsgebuehr = boxoffice::FeeBytes{1, "EUR", 2.355, 7.0};
  sale.zusatzgebuehren = {boxoffice::AdditionalFeeBytes{"Geb\xFChr & Co", "EUR", 1.0, 19.0},
                          boxoffice::AdditionalFeeBytes{"Porto\t\r\n", "EUR", 0.8, 0.0}};
  const boxoffice::HostSale host(sale);
  Order order;
  order.fillFromHostOrder(HostOrderRecord(host.record()));
  order.setSubPoolId(12);
  order.setTerminalId(L"K1");

  KasseExchange exchange(config());
  KasseResponse response;
  exchange.transfer(order, response);
  EXPECT_EQ(response.rect, 0);
}

TEST_F(KasseSimTest, ContentTypeMustBeSoap) {
  HttpClient::globalInit();
  HttpClient client;
  client.setCredentials(L"kasse", L"geh\u00E9im");
  client.addHeader(L"Content-Type", L"text/xml");
  const VubException e = vubFailure([&] { client.postForBytes(fixture_->url("plain"), "<a/>"); });
  EXPECT_EQ(e.message(), L"Unexpected HTTP Status code 415Content-Type must be application/soap+xml, not 'text/xml'\n");
}

TEST_F(KasseSimTest, WrongPasswordIsRefusedWith401) {
  KasseExchange exchange(config(L"gehEim"));
  KasseResponse response;
  const VubException e = vubFailure([&] { exchange.transfer(Order(), response); });
  EXPECT_EQ(e.message(), L"Unexpected HTTP Status code 401wrong or missing credentials\n");
}

TEST_F(KasseSimTest, MalformedRequestGetsASoapFault) {
  HttpClient::globalInit();
  HttpClient client;
  client.setCredentials(L"kasse", L"geh\u00E9im");
  client.addHeader(L"Content-Type", L"application/soap+xml");
  const VubException e = vubFailure([&] { client.postForBytes(fixture_->url("plain"), "<ImAuftrag/>"); });
  const std::wstring message = e.message();
  EXPECT_EQ(message.rfind(L"Unexpected HTTP Status code 500<?xml", 0), 0u) << platform::wideToUtf8(message);
  EXPECT_NE(message.find(L"<env:Fault>"), std::wstring::npos);
}

TEST_F(KasseSimTest, RecordsTheRequestAsSent) {
  const std::wstring marker =
      L"record-" + std::to_wstring(std::chrono::steady_clock::now().time_since_epoch().count()) + L"-\u00E4";
  Order order;
  order.setTerminalId(marker);
  KasseExchange exchange(config());
  KasseResponse response;
  exchange.transfer(order, response);

  const std::string utf8Marker = platform::wideToUtf8(marker);
  std::string body;
  std::filesystem::path bodyFile;
  for (const auto& entry : std::filesystem::directory_iterator(fixture_->path("recorded"))) {
    const std::string content = readFile(entry.path());
    if (content.find(utf8Marker) != std::string::npos) {
      body = content;
      bodyFile = entry.path();
    }
  }
  ASSERT_FALSE(body.empty()) << "no recorded request holds " << utf8Marker;
  EXPECT_EQ(body.find_first_of("\r\n\t"), std::string::npos);
  std::string headersName = bodyFile.filename().string();
  headersName.replace(headersName.find("-body.xml"), std::string::npos, "-headers.txt");
  const std::string headers = readFile(bodyFile.parent_path() / headersName);
  EXPECT_EQ(headers.rfind("POST /sap/bc/srt/kasse HTTP/1.1\r\n", 0), 0u) << headers;
  EXPECT_NE(headers.find("Content-Type: application/soap+xml\r\n"), std::string::npos) << headers;
  // The credentials are masked in every mode, the scheme kept.
  EXPECT_NE(headers.find("Authorization: Basic ***\r\n"), std::string::npos) << headers;
  EXPECT_EQ(headers.find("a2Fzc2U6"), std::string::npos) << headers;
}

}  // namespace
}  // namespace qel
