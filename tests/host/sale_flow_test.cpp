// hrECExecute end to end: the operator's dialogs, the request that reaches a
// cash register on 127.0.0.1, the result record and the log.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "host/qelconnect.h"
#include "tests/host/flow_fixture.h"

namespace qel::test {
namespace {

class SaleFlowTest : public FlowTest {};

TEST_F(SaleFlowTest, CompletedSaleAsksTwiceFillsTheRecordAndLogsIt) {
  acceptingKasse(7);
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=4711\r\n");
  ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);

  ASSERT_EQ(dialogs().size(), 2u);
  for (const Dialog& d : dialogs()) {
    EXPECT_EQ(d.caption, kTransaction);
    EXPECT_EQ(d.type, 1u) << "OK and Cancel, no icon";
    EXPECT_EQ(d.owner, owner());
  }
  EXPECT_EQ(dialogs()[0].text, kAskTransfer);
  EXPECT_EQ(dialogs()[1].text, kAskPrinting);

  EXPECT_TRUE(result_ == expectedResult(42.5)) << "only the listed fields may change";
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);

  ASSERT_EQ(requestCount(), 1u);
  const ReceivedRequest request = server_->requests().front();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.header("Content-Type"), "application/soap+xml");
  EXPECT_EQ(request.header("Authorization"), "Basic a2Fzc2U6Z2VoZWlt");
  EXPECT_NE(request.body.find("<Dwaufragid>4711</Dwaufragid><Dwbelegnr>815</Dwbelegnr>"), std::string::npos);
  EXPECT_NE(request.body.find("<Dwsubpoolid>7|4711</Dwsubpoolid>"), std::string::npos);
}

TEST_F(SaleFlowTest, CancelAtTheFirstQuestionTouchesNothing) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdCancel}), kNotCompleted);
  EXPECT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(std::filesystem::exists("QelConnect.log"));
}

TEST_F(SaleFlowTest, CancelAtPrintingStillLeavesTheRecordAndTheLogWritten) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
  EXPECT_EQ(requestCount(), 1u);
  EXPECT_TRUE(result_ == expectedResult(42.5));
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

TEST_F(SaleFlowTest, PrintingIsAskedUnlessTheTotalIsNegative) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(-0.01), {kIdOk}), 0);
  EXPECT_EQ(dialogs().size(), 1u) << "a negative total is not printed";
  EXPECT_TRUE(result_ == expectedResult(-0.01));

  EXPECT_EQ(sell(smallSale(0.0), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, kAskPrinting);
}

TEST_F(SaleFlowTest, TerminalNumberComesFromSalesIniOrTheDefault) {
  acceptingKasse();
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_NE(lastBody().find("<Dwsubpoolid>0|16213</Dwsubpoolid>"), std::string::npos);

  writeFile("Sales.ini", "TerminalID=1\nx=TerminalID=12=34\nTerminalID =99\n");
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_NE(lastBody().find("<Dwsubpoolid>0|12</Dwsubpoolid>"), std::string::npos);
}

TEST_F(SaleFlowTest, InitEmptiesTheLogBetweenSales) {
  acceptingKasse();
  sell(smallSale(), {kIdOk, kIdOk});
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), std::string(kLogEntry) + kLogEntry);
  std::uint32_t module = 0;
  hrECInit(nullptr, &module);
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

TEST_F(SaleFlowTest, ALogThatCannotBeOpenedCostsOnlyTheEntry) {
  acceptingKasse();
  std::filesystem::create_directory("QelConnect.log");
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_TRUE(result_ == expectedResult(42.5));
}

struct FailedSale {
  const char* name;
  std::string config;  // QelConnect.xml; empty: none
  std::string answer;  // the cash register's response; empty: no server
  std::wstring message;
};

class FailedSaleTest : public FlowTest, public ::testing::WithParamInterface<FailedSale> {};

TEST_P(FailedSaleTest, ShowsOneErrorBoxAndLeavesRecordAndLogAlone) {
  const FailedSale& c = GetParam();
  if (!c.answer.empty()) startKasse(c.answer);
  if (!c.config.empty()) writeFile("QelConnect.xml", c.config);
  EXPECT_EQ(sell(smallSale(), {kIdOk}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, c.message);
  EXPECT_EQ(dialogs()[1].caption, kErrorCaption);
  EXPECT_EQ(dialogs()[1].type, 0u) << "OK only, no icon";
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(std::filesystem::exists("QelConnect.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedSaleTest,
    ::testing::Values(
        FailedSale{"MissingConfig", "", "",
                   L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
                   L"[pathto]/Quendal/Sales/"},
        FailedSale{"MismatchedConfig", "<endpoint><url>x</uri></endpoint>", "",
                   L"Parsing error in configuration file 'QelConnect.xml'."},
        FailedSale{"RefusedOrder", "", httpResponse(200, kasseAnswer("4", "Ung\xC3\xBCltige Belegnummer")),
                   L"SAP Kasse response error: Ung\u00fcltige Belegnummer"}),
    [](const ::testing::TestParamInfo<FailedSale>& info) { return info.param.name; });

TEST_F(SaleFlowTest, NullRecordsEndInTheErrorBoxBeforeAnyQuestion) {
  acceptingKasse();
  HostSale sale(smallSale());
  DialogRecorder dialogs;
  EXPECT_EQ(hrECExecute(nullptr, owner(), nullptr, paymentType_.data(), nullptr, result_.data()), kNotCompleted);
  EXPECT_EQ(hrECExecute(nullptr, owner(), sale.record(), nullptr, nullptr, result_.data()), kNotCompleted);
  EXPECT_EQ(hrECExecute(nullptr, owner(), sale.record(), paymentType_.data(), nullptr, nullptr), kNotCompleted);
  ASSERT_EQ(dialogs.seen().size(), 3u);
  EXPECT_EQ(dialogs.seen()[0].text, L"Invalid call of hrECExecute: the order record (parameter 3) is null.");
  EXPECT_EQ(dialogs.seen()[1].text, L"Invalid call of hrECExecute: the payment type record (parameter 4) is null.");
  EXPECT_EQ(dialogs.seen()[2].text,
            L"Invalid call of hrECExecute: the payment result record (parameter 6) is null.");
  for (const Dialog& d : dialogs.seen()) EXPECT_EQ(d.caption, kErrorCaption);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
}

TEST_F(SaleFlowTest, NullListWithACountSendsNothing) {
  acceptingKasse();
  SaleBytes sale = smallSale();
  sale.nullPositions = true;
  sale.positionCount = 3;
  EXPECT_EQ(sell(sale, {kIdOk}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, L"Invalid order record: Pauftragpos is null but Cdwauftragpos is 3");
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
}

}  // namespace
}  // namespace qel::test
