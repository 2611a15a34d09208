// Tests of a whole transfer: an Order sent inside the SOAP envelope to a
// scripted server on 127.0.0.1, and the answer judged.
#include "transport/kasse_exchange.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"
#include "tests/transport/vub_failure.h"

namespace qel {
namespace {

using test::httpResponse;
using test::kasseAnswer;
using test::LoopbackServer;
using test::soapAnswer;
using test::vubFailure;

ConnectorConfig configFor(const LoopbackServer& server) {
  ConnectorConfig config;
  config.url = server.url();
  config.username = L"kasse";
  config.password = L"geheim";
  return config;
}

KasseResponse transfer(const ConnectorConfig& config, const Order& order = Order()) {
  KasseExchange exchange(config);
  KasseResponse response;
  exchange.transfer(order, response);
  return response;
}

TEST(KasseExchange, SendsTheEnvelopeAsOneLineWithHeaderAndCredentials) {
  LoopbackServer server(httpResponse(200, kasseAnswer("0", "")));
  Order order;
  // Line breaks and tabs of a value do not reach the cash register.
  order.setTerminalId(L"T\t1\r\n2\u00E4");
  transfer(configFor(server), order);

  ASSERT_EQ(server.requests().size(), 1u);
  const test::ReceivedRequest request = server.requests()[0];
  EXPECT_EQ(request.head, "POST /sap/kasse HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                              "\r\nAuthorization: Basic a2Fzc2U6Z2VoZWlt\r\n"  // kasse:geheim
                              "Accept: */*\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
                              std::to_string(request.body.size()) + "\r\n\r\n");

  const std::string& body = request.body;
  EXPECT_EQ(body.find_first_of("\r\n\t"), std::string::npos);
  EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=", 0), 0u);
  EXPECT_NE(body.find("<SOAP-ENV:Header></SOAP-ENV:Header><SOAP-ENV:Body><ns1:_-qel_-kasVubWsQuendalSales><ImAuftrag>"),
            std::string::npos);
  EXPECT_NE(body.find("<Dwsubpoolid>0|T12\xC3\xA4</Dwsubpoolid>"), std::string::npos) << body;
  const std::string tail = "</ImAuftrag></ns1:_-qel_-kasVubWsQuendalSales></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  ASSERT_GE(body.size(), tail.size());
  EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
}

TEST(KasseExchange, AcceptedOrderFillsTheResponse) {
  LoopbackServer server(httpResponse(200, soapAnswer("ns1",
                                                     "<ExRect><Rect>0</Rect><Rectmsg>Beleg \xC3\xBC"
                                                     "bernommen</Rectmsg></ExRect>")));
  KasseExchange exchange(configFor(server));
  KasseResponse response{5, L"stale"};
  EXPECT_EQ(&exchange.transfer(Order(), response), &response);
  EXPECT_EQ(response.rect, 0);
  EXPECT_EQ(response.rectmsg, L"Beleg \u00FCbernommen");
}

TEST(KasseExchange, FailuresReachTheCallerWithMessageAndCode) {
  const std::string fault =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\">"
      "<env:Body><env:Fault><env:Reason><env:Text xml:lang=\"de\">Ung\xC3\xBCltig</env:Text></env:Reason></env:Fault>"
      "</env:Body></env:Envelope>";
  const std::string html = "<html><body><h1>Wartung</h1><p>Bitte sp\xC3\xA4ter</body></html>";
  struct Case {
    std::string response;
    std::wstring message;
    std::int32_t code;
  };
  const Case cases[] = {
      // The cash register's own words arrive as the UTF-8 they are.
      {httpResponse(200, kasseAnswer("4", "Ung\xC3\xBCltige Belegnummer")),
       L"SAP Kasse response error: Ung\u00FCltige Belegnummer", 4},
      {httpResponse(201, kasseAnswer("-1", "")), L"SAP Kasse response error: ", -1},
      {httpResponse(500, fault), L"Unexpected HTTP Status code 500" + platform::utf8ToWide(fault), 0},
      {httpResponse(200, fault),
       L"Missing SAP Kasse response field n0:_-qel_-kasVubWsQuendalSalesResponse. Namespace different? Response:\r\n" +
           platform::utf8ToWide(fault),
       0},
      {httpResponse(200, html, "text/html"),
       L"Failed to parse response of SAP Kasse. Response was: " + platform::utf8ToWide(html), 0},
  };
  for (const Case& c : cases) {
    LoopbackServer server(c.response);
    const VubException e = vubFailure([&] { transfer(configFor(server)); });
    EXPECT_EQ(e.message(), c.message);
    EXPECT_EQ(e.code(), c.code);
  }
}

TEST(KasseExchange, TransportFailurePassesThrough) {
  ConnectorConfig config;
  config.url = L"http://127.0.0.1:" + std::to_wstring(test::unusedLoopbackPort()) + L"/sap";
  const VubException e = vubFailure([&] { transfer(config); });
  EXPECT_EQ(e.code(), CURLE_COULDNT_CONNECT);
  EXPECT_EQ(e.message().rfind(platform::ansiToWide(curl_easy_strerror(CURLE_COULDNT_CONNECT)) + L": ", 0), 0u);
}

}  // namespace
}  // namespace qel
