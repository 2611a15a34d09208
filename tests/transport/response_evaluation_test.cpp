// Tests of judging the cash register's answer: the response element's
// prefixes, the Rect rule, the messages and codes.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/transport/kasse_answers.h"
#include "tests/transport/vub_failure.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using test::kasseAnswer;
using test::soapAnswer;
using test::vubFailure;

const std::wstring kNamespaceMessage =
    L"Missing SAP Kasse response field n0:_-qel_-kasVubWsQuendalSalesResponse. Namespace different? Response:\r\n";
const std::wstring kRectMessage = L"Missing SAP Kasse response field _-qel_-kasVubWsQuendalSalesResponse->ExRect->Rect";
const std::wstring kParseMessage = L"Failed to parse response of SAP Kasse. Response was: ";

std::wstring wide(const std::string& utf8) { return platform::utf8ToWide(utf8); }

std::string exRect(const std::string& rect, const std::string& rectmsg = "OK") {
  return "<ExRect><Rect>" + rect + "</Rect><Rectmsg>" + rectmsg + "</Rectmsg></ExRect>";
}

TEST(ResponseEvaluation, AcceptedAnswerFillsTheResponse) {
  KasseResponse response{9, L"stale"};
  evaluateResponseBytes(kasseAnswer("0",
                                    "Beleg \xC3\xBC"
                                    "bernommen &amp; gebucht"),
                        response);
  EXPECT_EQ(response.rect, 0);
  EXPECT_EQ(response.rectmsg, L"Beleg \u00FCbernommen & gebucht");
}

TEST(ResponseEvaluation, ResponseElementUnderPrefixN0OrNs1) {
  struct Case {
    std::string body;
    bool accepted;
  };
  const Case cases[] = {
      {soapAnswer("n0", exRect("0")), true},
      {soapAnswer("ns1", exRect("0")), true},
      {soapAnswer("n1", exRect("0")), false},
      {soapAnswer("", exRect("0")), false},
      {soapAnswer("N0", exRect("0")), false},
      {soapAnswer("n0", exRect("0"), "soap"), false},
      {soapAnswer("n0", exRect("0"), "SOAP-ENV"), false},
      {"<env:Envelope><n0:_-qel_-kasVubWsQuendalSalesResponse>" + exRect("0") +
           "</n0:_-qel_-kasVubWsQuendalSalesResponse></env:Envelope>",
       false},
      {"<env:Body><n0:_-qel_-kasVubWsQuendalSalesResponse>" + exRect("0") +
           "</n0:_-qel_-kasVubWsQuendalSalesResponse></env:Body>",
       false},
      // A fault delivered with status 200 has no response element.
      {"<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body><env:Fault><env:Code>"
       "<env:Value>env:Receiver</env:Value></env:Code></env:Fault></env:Body></env:Envelope>",
       false},
  };
  for (const Case& c : cases) {
    KasseResponse response;
    if (c.accepted) {
      EXPECT_NO_THROW(evaluateResponseBytes(c.body, response)) << c.body;
    } else {
      const VubException e = vubFailure([&] { evaluateResponseBytes(c.body, response); });
      EXPECT_EQ(e.message(), kNamespaceMessage + wide(c.body));
      EXPECT_EQ(e.code(), 0);
    }
  }
}

// n0 is looked for first; ns1 only when there is no n0 element at all.
TEST(ResponseEvaluation, N0WinsOverNs1WhereverItStands) {
  const std::string body = "<env:Envelope><env:Body><ns1:_-qel_-kasVubWsQuendalSalesResponse>" + exRect("4", "ns1") +
                           "</ns1:_-qel_-kasVubWsQuendalSalesResponse><n0:_-qel_-kasVubWsQuendalSalesResponse>" +
                           exRect("0", "n0") + "</n0:_-qel_-kasVubWsQuendalSalesResponse></env:Body></env:Envelope>";
  KasseResponse response;
  evaluateResponseBytes(body, response);
  EXPECT_EQ(response.rectmsg, L"n0");
}

TEST(ResponseEvaluation, FirstOccurrenceCounts) {
  KasseResponse response;
  evaluateResponseBytes(soapAnswer("n0", exRect("0", "first") + exRect("4", "second")), response);
  EXPECT_EQ(response.rectmsg, L"first");
}

struct RectCase {
  std::string text;
  bool readable;
  std::int32_t value;
  friend void PrintTo(const RectCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class RectTextTest : public ::testing::TestWithParam<RectCase> {};

// Rect is read like a "%d" scan: white space first, an optional sign,
// digits, and whatever follows ignored.
TEST_P(RectTextTest, ReadsRectByTheScanRule) {
  const RectCase& c = GetParam();
  const std::string body = kasseAnswer(c.text, "Meldung");
  KasseResponse response;
  if (!c.readable) {
    const VubException e = vubFailure([&] { evaluateResponseBytes(body, response); });
    EXPECT_EQ(e.message(), kRectMessage) << c.text;
    EXPECT_EQ(e.code(), 0);
  } else if (c.value == 0) {
    evaluateResponseBytes(body, response);
    EXPECT_EQ(response.rect, 0);
    EXPECT_EQ(response.rectmsg, L"Meldung");
  } else {
    const VubException e = vubFailure([&] { evaluateResponseBytes(body, response); });
    EXPECT_EQ(e.message(), L"SAP Kasse response error: Meldung") << c.text;
    EXPECT_EQ(e.code(), c.value);
    EXPECT_EQ(response.rect, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, RectTextTest,
                         ::testing::Values(RectCase{"0", true, 0}, RectCase{" 0", true, 0}, RectCase{"0 ", true, 0},
                                           RectCase{"+0", true, 0}, RectCase{"-0", true, 0},
                                           RectCase{"\n\t 0\n", true, 0},
                                           // Not hexadecimal, whatever the parser's own integer reading does.
                                           RectCase{"0x4", true, 0}, RectCase{"00", true, 0}, RectCase{"0abc", true, 0},
                                           RectCase{"4", true, 4}, RectCase{"-1", true, -1},
                                           RectCase{" 12 Fehler", true, 12}, RectCase{"", false, 0},
                                           RectCase{"abc", false, 0}, RectCase{"+", false, 0}, RectCase{"x0", false, 0},
                                           RectCase{"<b>0</b>", false, 0}));

TEST(ResponseEvaluation, MissingExRectOrRectIsReported) {
  const std::string bodies[] = {
      soapAnswer("n0", ""),
      soapAnswer("n0", "<Rect>0</Rect><Rectmsg/>"),
      soapAnswer("n0", "<ExRect><Rectmsg>OK</Rectmsg></ExRect>"),
      soapAnswer("n0", "<ExRect><rect>0</rect></ExRect>"),
      soapAnswer("n0", "<ExRect><Rect/></ExRect>"),
  };
  for (const std::string& body : bodies) {
    KasseResponse response;
    const VubException e = vubFailure([&] { evaluateResponseBytes(body, response); });
    EXPECT_EQ(e.message(), kRectMessage) << body;
    EXPECT_EQ(e.code(), 0);
  }
}

TEST(ResponseEvaluation, RefusedOrderShowsTheCashRegistersText) {
  struct Case {
    std::string rectXml;
    std::wstring message;
    std::int32_t code;
  };
  const Case cases[] = {
      {exRect("4", "Ung\xC3\xBCltige Belegnummer"), L"SAP Kasse response error: Ung\u00FCltige Belegnummer", 4},
      {exRect("-1", ""), L"SAP Kasse response error: ", -1},
      {"<ExRect><Rect>7</Rect></ExRect>", L"SAP Kasse response error: ", 7},
      {exRect("2", "a &lt; b"), L"SAP Kasse response error: a < b", 2},
  };
  for (const Case& c : cases) {
    KasseResponse response;
    const VubException e = vubFailure([&] { evaluateResponseBytes(soapAnswer("n0", c.rectXml), response); });
    EXPECT_EQ(e.message(), c.message);
    EXPECT_EQ(e.code(), c.code);
  }
}

TEST(ResponseEvaluation, BodyThatIsNotXmlIsShownWhole) {
  const std::string bodies[] = {
      "<html><body><p>Service nicht verf\xC3\xBCgbar</body></html>",
      "",
      "<env:Envelope><env:Body>",
  };
  for (const std::string& body : bodies) {
    KasseResponse response{3, L"stale"};
    const VubException e = vubFailure([&] { evaluateResponseBytes(body, response); });
    EXPECT_EQ(e.message(), kParseMessage + wide(body));
    EXPECT_EQ(e.code(), 0);
    EXPECT_EQ(response.rect, 0);
    EXPECT_EQ(response.rectmsg, L"");
  }
}

// The bytes as they arrive are judged as their decoding would be (encoded as
// UTF-8 again): valid UTF-8 is parsed as it is, other bytes through the ANSI
// code page, and a message quotes the body decoded once.
TEST(ResponseEvaluation, BytesAreJudgedAsTheirDecoding) {
  const std::string cases[] = {
      kasseAnswer("0",
                  "Beleg \xC3\xBC"
                  "bernommen &amp; gebucht"),
      kasseAnswer("0",
                  "Beleg \xFC"
                  "bernommen \x80"),  // Windows-1252, not UTF-8
      kasseAnswer("7", "Kasse \xE2\x82\xAC gesperrt"),
      kasseAnswer("7", "Kasse \x80 gesperrt"),
      soapAnswer("x1", exRect("0", "\xC3\xA4")),
      "<kaputt>\xC3\xBC",
      "<kaputt>\xFC",
      soapAnswer("n0", "<ExRect><Rect>zwei</Rect></ExRect>"),
  };
  for (const std::string& bytes : cases) {
    KasseResponse fromBytes{9, L"stale"};
    KasseResponse fromText{9, L"stale"};
    std::wstring bytesMessage;
    std::wstring textMessage;
    std::int32_t bytesCode = -1;
    std::int32_t textCode = -1;
    try {
      evaluateResponseBytes(bytes, fromBytes);
    } catch (const VubException& e) {
      bytesMessage = e.message();
      bytesCode = e.code();
    }
    try {
      evaluateResponseBytes(platform::wideToUtf8(decodeResponse(bytes)), fromText);
    } catch (const VubException& e) {
      textMessage = e.message();
      textCode = e.code();
    }
    EXPECT_EQ(bytesMessage, textMessage) << bytes;
    EXPECT_EQ(bytesCode, textCode) << bytes;
    EXPECT_EQ(fromBytes.rect, fromText.rect) << bytes;
    EXPECT_EQ(fromBytes.rectmsg, fromText.rectmsg) << bytes;
  }
}

TEST(ResponseEvaluation, AnsiBytesReachTheMessageDecoded) {
  KasseResponse response;
  const VubException e = vubFailure([&] { evaluateResponseBytes(kasseAnswer("3", "Geb\xFChr fehlt"), response); });
  EXPECT_EQ(e.message(), L"SAP Kasse response error: Geb\u00FChr fehlt");
  EXPECT_EQ(e.code(), 3);
}

}  // namespace
}  // namespace qel
