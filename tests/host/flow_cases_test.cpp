// hrECExecute and hrECRefund end to end, the same cases on both targets: the
// operator's boxes, the request that reaches a cash register on 127.0.0.1,
// the result record and the log. Natively through the library's C interface
// and its dialog seam; under Wine through QelConnect.dll with its real
// message boxes and the log as the Windows C runtime's neighbours see it.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "tests/host/flow_fixture.h"
#include "tests/render/golden_documents.h"

namespace qel::test {
namespace {

using SaleFlow = FlowTest;
using RefundFlow = FlowTest;
using GoldenDocument = FlowTest;

// The order document inside a request body, from <ImAuftrag> to its end
// tag; empty when the body holds none or more than one.
std::string orderDocumentOf(const std::string& body) {
  const std::string endTag = "</ImAuftrag>";
  const std::size_t begin = body.find("<ImAuftrag>");
  const std::size_t end = body.find(endTag);
  if (begin == std::string::npos || end == std::string::npos || end < begin) return {};
  if (body.find("<ImAuftrag>", begin + 1) != std::string::npos) return {};
  return body.substr(begin, end + endTag.size() - begin);
}

TEST_F(SaleFlow, CompletedSaleAsksTwiceFillsTheRecordAndLogsIt) {
  acceptingKasse(7);
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=4711\r\n");
  ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);

  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[0], kAskTransfer);
  expectQuestion(dialogs()[1], kAskPrinting);

  EXPECT_TRUE(result_ == expectedResult(42.5)) << "only the listed fields may change";
  const std::string log = readFile("QelConnect.log");
  EXPECT_EQ(log, kLogEntry);
  EXPECT_EQ(log.find("\r\r\n"), std::string::npos) << "text mode must not double the CR";

  ASSERT_EQ(requestCount(), 1u);
  const ReceivedRequest request = server_->requests().front();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.header("Content-Type"), "application/soap+xml");
  EXPECT_EQ(request.header("Authorization"), "Basic a2Fzc2U6Z2VoZWlt");
  EXPECT_NE(request.body.find("<Dwaufragid>4711</Dwaufragid><Dwbelegnr>815</Dwbelegnr>"), std::string::npos);
  EXPECT_NE(request.body.find("<Dwsubpoolid>7|4711</Dwsubpoolid>"), std::string::npos);
}

// Nothing is read before the operator agrees: without QelConnect.xml no
// error box follows the question, and with it nothing is sent.
TEST_F(SaleFlow, CancelAtTheFirstQuestionTouchesNothing) {
  EXPECT_EQ(sell(smallSale(), {kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  expectQuestion(dialogs()[0], kAskTransfer);

  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdCancel}), kNotCompleted);
  EXPECT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(logExists());
}

TEST_F(SaleFlow, CancelAtPrintingStillLeavesTheRecordAndTheLogWritten) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[1], kAskPrinting);
  EXPECT_EQ(requestCount(), 1u);
  EXPECT_TRUE(result_ == expectedResult(42.5));
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

TEST_F(SaleFlow, PrintingIsAskedUnlessTheTotalIsNegative) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(-0.01), {kIdOk}), 0);
  EXPECT_EQ(dialogs().size(), 1u) << "a negative total is not printed";
  EXPECT_TRUE(result_ == expectedResult(-0.01));

  EXPECT_EQ(sell(smallSale(0.0), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, kAskPrinting);
}

// Sales.ini as the host leaves it, seen in the request's Dwsubpoolid.
TEST_F(SaleFlow, TerminalNumberComesFromSalesIniOrTheDefault) {
  struct Case {
    std::optional<std::string> salesIni;  // none: no Sales.ini
    const char* subPoolId;
  };
  // The file as UTF-16 LE (Notepad's "Unicode") without its byte-order mark.
  std::string utf16;
  for (const char c : std::string("[Kasse]\r\nTerminalID=4711\r\n")) utf16 += {c, '\0'};
  const Case cases[] = {
      {std::nullopt, "0|16213"},
      {"[Kasse]\r\nTerminalID=4711\r\n", "0|4711"},
      {"TerminalID=1\r\nx=TerminalID=12=34\r\nTerminalID =99\r\n", "0|12"},
      {"TerminalID=1\nx=TerminalID=12=34\nTerminalID =99\n", "0|12"},
      {"terminalid=5\r\n", "0|16213"},
      {"TerminalID==5\r\n", "0|"},
      {"TerminalID=Kasse S\xC3\xBC"
       "d\r\n",
       "0|Kasse S\xC3\xBC"
       "d"},
      {"\xEF\xBB\xBFTerminalID=4711\r\n", "0|4711"},
      {"\xFF\xFE" + utf16, "0|4711"},
      {"\xFE\xFF" + ('\0' + utf16.substr(0, utf16.size() - 1)), "0|4711"},
  };
  acceptingKasse();
  for (const Case& c : cases) {
    std::remove("Sales.ini");
    if (c.salesIni) writeFile("Sales.ini", *c.salesIni);
    ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_NE(lastBody().find(std::string("<Dwsubpoolid>") + c.subPoolId + "</Dwsubpoolid>"), std::string::npos)
        << c.salesIni.value_or("(no Sales.ini)");
    EXPECT_NE(readFile("QelConnect.log").find("PaySystemDate.dwTerminalNr: 77\r\n"), std::string::npos)
        << "the record's terminal is the pool, whatever Sales.ini says";
  }
}

TEST_F(SaleFlow, InitEmptiesTheLogBetweenSales) {
  acceptingKasse();
  sell(smallSale(), {kIdOk, kIdOk});
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), std::string(kLogEntry) + kLogEntry);
  init();
  EXPECT_EQ(readFile("QelConnect.log"), "");
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

const std::string kServiceFaultNo = soapFault("no");

struct FailedSale {
  const char* name;
  std::string config;  // QelConnect.xml; empty: none
  std::string answer;  // the cash register's response; empty: no server
  std::wstring message;
};

// Test names show the case's name, not the bytes of the struct.
void PrintTo(const FailedSale& sale, std::ostream* out) { *out << sale.name; }

class FailedSaleFlow : public FlowTest, public ::testing::WithParamInterface<FailedSale> {};

TEST_P(FailedSaleFlow, ShowsOneErrorBoxAndLeavesRecordAndLogAlone) {
  const FailedSale& c = GetParam();
  if (!c.answer.empty()) startKasse(c.answer);
  if (!c.config.empty()) writeFile("QelConnect.xml", c.config);
  EXPECT_EQ(sell(smallSale(), {kIdOk}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  expectErrorBox(dialogs()[1], c.message);
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(logExists());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedSaleFlow,
    ::testing::Values(
        FailedSale{"MissingConfig", "", "",
                   L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
                   L"[pathto]/Quendal/Sales/"},
        FailedSale{"MismatchedConfig", "<endpoint><url>x</uri></endpoint>", "",
                   L"Parsing error in configuration file 'QelConnect.xml'."},
        FailedSale{"RefusedOrder", "",
                   httpResponse(200, kasseAnswer("4",
                                                 "Ung\xC3\xBCltige Belegnummer, Gr\xC3\xB6\xC3\x9F"
                                                 "e "
                                                 "\xC3\xBC"
                                                 "berschritten")),
                   L"SAP Kasse response error: Ung\u00fcltige Belegnummer, Gr\u00f6\u00dfe \u00fcberschritten"},
        // With the trace off, as here, a sale in doubt still names its
        // receipt; only the service's own fault in a 500 is a refusal.
        FailedSale{"AcceptedWithoutAnswer", "", httpResponse(202, ""),
                   L"Unexpected HTTP Status code 202" + possiblyBooked(815)},
        FailedSale{"SeeOther", "", httpResponse(303, "see"),
                   L"Unexpected HTTP Status code 303see" + possiblyBooked(815)},
        FailedSale{"WebServerPage500", "", httpResponse(500, "<h1>Error</h1>", "text/html"),
                   L"Unexpected HTTP Status code 500<h1>Error</h1>" + possiblyBooked(815)},
        FailedSale{"ServiceFault500", "", httpResponse(500, soapFault("no")),
                   L"Unexpected HTTP Status code 500" + std::wstring(kServiceFaultNo.begin(), kServiceFaultNo.end())},
        FailedSale{"NulInTheAnswer", "", httpResponse(200, std::string("<a/>\0\x01\t\r\n", 9)),
                   L"Missing SAP Kasse response field n0:_-qel_-kasVubWsQuendalSalesResponse. Namespace different? "
                   L"Response:\r\n<a/>\\x00\x01\t\r\n" +
                       possiblyBooked(815)}),
    [](const ::testing::TestParamInfo<FailedSale>& info) { return info.param.name; });

TEST_F(RefundFlow, RefundAsksNothingLogsNothingAndSendsTheRefundOrder) {
  acceptingKasse(9);
  writeFile("Sales.ini", "TerminalID=4711\r\n");
  const auto record = refundExample();
  EXPECT_EQ(refund(record.data()), 0);
  EXPECT_TRUE(dialogs().empty());
  EXPECT_FALSE(logExists());
  ASSERT_EQ(requestCount(), 1u);
  EXPECT_EQ(orderDocumentOf(lastBody()), kRefundDocument)
      << "neither the configured prefix nor the terminal number belongs to a refund";
}

// Only the service's own fault shows that the refund was not booked; a 500
// of the machinery in front of it leaves the receipt in doubt.
TEST_F(RefundFlow, FailedRefundShowsOneErrorBoxAndIsNotCompleted) {
  const auto record = refundRecord(815, 25.0, "EUR", 471);
  const std::string fault = soapFault("kaputt");
  const struct {
    std::string body;
    std::wstring box;
  } cases[] = {
      {fault, L"Unexpected HTTP Status code 500" + std::wstring(fault.begin(), fault.end())},
      {"kaputt", L"Unexpected HTTP Status code 500kaputt" + possiblyBooked(815, true)},
  };
  for (const auto& c : cases) {
    startKasse(httpResponse(500, c.body, "text/plain"));
    EXPECT_EQ(refund(record.data()), kNotCompleted);
    ASSERT_EQ(dialogs().size(), 1u);
    expectErrorBox(dialogs()[0], c.box);
  }
  EXPECT_FALSE(logExists());
}

TEST_F(RefundFlow, MissingConfigurationAndNullRecordAreReported) {
  const auto record = refundRecord(1, 1.0, "EUR", 1);
  EXPECT_EQ(refund(record.data()), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  expectErrorBox(dialogs()[0],
                 L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
                 L"[pathto]/Quendal/Sales/");

  acceptingKasse();
  EXPECT_EQ(refund(nullptr), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  expectErrorBox(dialogs()[0], L"Invalid call of hrECRefund: the refund record (parameter 3) is null.");
  EXPECT_EQ(requestCount(), 0u);
}

// The rich sale carries ANSI text (decoded with Windows-1252, the German code
// page that the Wine runs use), amounts on rounding ties and text that must
// be escaped; the sub-pool number and terminal number come from the files.
TEST_F(GoldenDocument, RichSaleArrivesAsTheRenderedDocument) {
  acceptingKasse(kRichSaleSubPoolId);
  writeFile("Sales.ini", std::string("TerminalID=") + kRichSaleTerminalId + "\r\n");
  ASSERT_EQ(sell(richSale(), {kIdOk, kIdOk}), 0);
  ASSERT_EQ(requestCount(), 1u);
  EXPECT_EQ(orderDocumentOf(lastBody()), kRichSaleDocument);
}

}  // namespace
}  // namespace qel::test
