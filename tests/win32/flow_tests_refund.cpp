// hrECRefund through QelConnect.dll under Wine, and the golden documents:
// the records that the rendering tests render must reach the cash register
// through the DLL as exactly the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "tests/render/golden_documents.h"
#include "tests/win32/flow_tests_fixture.h"

namespace qel::test {
namespace {

using RefundFlowDll = DllFlowTest;
using GoldenDocumentDll = DllFlowTest;

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

TEST_F(RefundFlowDll, RefundAsksNothingLogsNothingAndSendsTheRefundOrder) {
  acceptingKasse(9);
  writeFile("Sales.ini", "TerminalID=4711\r\n");
  const auto record = refundExample();
  EXPECT_EQ(refund(record.data()), 0);
  EXPECT_TRUE(dialogs().empty());
  EXPECT_FALSE(fileExists(L"QelConnect.log"));
  ASSERT_EQ(requestCount(), 1u);
  EXPECT_EQ(orderDocumentOf(lastBody()), kRefundDocument)
      << "neither the configured prefix nor the terminal number belongs to a refund";
}

TEST_F(RefundFlowDll, FailedRefundShowsOneErrorBoxAndIsNotCompleted) {
  startKasse(httpResponse(500, "kaputt", "text/plain"));
  const auto record = refundRecord(815, 25.0, "EUR", 471);
  EXPECT_EQ(refund(record.data()), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  expectErrorBox(dialogs()[0], L"Unexpected HTTP Status code 500kaputt");
  EXPECT_FALSE(fileExists(L"QelConnect.log"));
}

TEST_F(RefundFlowDll, MissingConfigurationAndNullRecordAreReported) {
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

// The rich sale carries ANSI text (decoded with the German code page that
// the Wine runs use), amounts on rounding ties and text that must be
// escaped; the sub-pool number and terminal number come from the files.
TEST_F(GoldenDocumentDll, RichSaleArrivesAsTheRenderedDocument) {
  acceptingKasse(kRichSaleSubPoolId);
  writeFile("Sales.ini", std::string("TerminalID=") + kRichSaleTerminalId + "\r\n");
  ASSERT_EQ(sell(richSale(), {kIdOk, kIdOk}), 0);
  ASSERT_EQ(requestCount(), 1u);
  EXPECT_EQ(orderDocumentOf(lastBody()), kRichSaleDocument);
}

}  // namespace
}  // namespace qel::test
