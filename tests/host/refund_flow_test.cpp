// hrECRefund end to end: no questions and no log, and a refund that did not
// reach the cash register is reported as not completed.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "host/qelconnect.h"
#include "tests/host/flow_fixture.h"

namespace qel::test {
namespace {

class RefundFlowTest : public FlowTest {
 protected:
  std::int32_t refund(const RefundRecord& record) {
    dialogs_.emplace();
    return hrECRefund(nullptr, owner(), record.data());
  }
};

TEST_F(RefundFlowTest, RefundAsksNothingLogsNothingAndSendsTheRefundOrder) {
  acceptingKasse(9);
  writeFile("Sales.ini", "TerminalID=4711\r\n");
  EXPECT_EQ(refund(refundRecord(815, -25.0, "EUR", 471)), 0);
  EXPECT_TRUE(dialogs().empty());
  EXPECT_FALSE(std::filesystem::exists("QelConnect.log"));
  ASSERT_EQ(requestCount(), 1u);
  const std::string body = lastBody();
  EXPECT_NE(body.find("<ImAuftrag><Dwaufragid>471</Dwaufragid><Dwbelegnr>815</Dwbelegnr><Szwaehrung>EUR</Szwaehrung>"
                      "<Dblbruttogesamtpreis>-25.00</Dblbruttogesamtpreis>"),
            std::string::npos);
  EXPECT_NE(body.find("<Dwsubpoolid>0|</Dwsubpoolid>"), std::string::npos)
      << "neither the configured prefix nor the terminal number belongs to a refund";
}

TEST_F(RefundFlowTest, FailedRefundShowsTheErrorAndIsNotCompleted) {
  startKasse(httpResponse(500, "kaputt", "text/plain"));
  EXPECT_EQ(refund(refundRecord(815, 25.0, "EUR", 471)), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(dialogs()[0].text, L"Unexpected HTTP Status code 500kaputt");
  EXPECT_EQ(dialogs()[0].caption, L"Fehler bei Daten\u00fcbertragung");
}

TEST_F(RefundFlowTest, MissingConfigurationAndNullRecordAreReported) {
  EXPECT_EQ(refund(refundRecord(1, 1.0, "EUR", 1)), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(dialogs()[0].text.rfind(L"Could not load configuration file 'QelConnect.xml'.", 0), 0u);

  DialogRecorder recorder;
  EXPECT_EQ(hrECRefund(nullptr, owner(), nullptr), kNotCompleted);
  ASSERT_EQ(recorder.seen().size(), 1u);
  EXPECT_EQ(recorder.seen()[0].text, L"Invalid call of hrECRefund: the refund record (parameter 3) is null.");
}

}  // namespace
}  // namespace qel::test
