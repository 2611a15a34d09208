// hrECExecute through QelConnect.dll under Wine: the real message boxes, the
// request that reaches a cash register on 127.0.0.1, the result record and
// the log as the Windows C runtime writes them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/win32/flow_tests_fixture.h"

namespace qel::test {
namespace {

using SaleFlowDll = DllFlowTest;

void expectQuestion(const ShownDialog& box, const wchar_t* text, HWND owner) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.caption, kTransaction);
  EXPECT_EQ(box.buttons, (std::vector<int>{kIdOk, kIdCancel}));
  EXPECT_FALSE(box.hasIcon);
  EXPECT_EQ(box.owner, owner);
}

TEST_F(SaleFlowDll, CompletedSaleAsksTwiceFillsTheRecordAndLogsIt) {
  acceptingKasse(7);
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=4711\r\n");
  ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);

  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[0], kAskTransfer, host_.get());
  expectQuestion(dialogs()[1], kAskPrinting, host_.get());

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
TEST_F(SaleFlowDll, CancelAtTheFirstQuestionTouchesNothing) {
  EXPECT_EQ(sell(smallSale(), {kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 1u);
  expectQuestion(dialogs()[0], kAskTransfer, host_.get());

  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdCancel}), kNotCompleted);
  EXPECT_EQ(dialogs().size(), 1u);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(fileExists(L"QelConnect.log"));
}

TEST_F(SaleFlowDll, CancelAtPrintingStillLeavesTheRecordAndTheLogWritten) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[1], kAskPrinting, host_.get());
  EXPECT_EQ(requestCount(), 1u);
  EXPECT_TRUE(result_ == expectedResult(42.5));
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

TEST_F(SaleFlowDll, PrintingIsAskedUnlessTheTotalIsNegative) {
  acceptingKasse();
  EXPECT_EQ(sell(smallSale(-0.01), {kIdOk}), 0);
  EXPECT_EQ(dialogs().size(), 1u) << "a negative total is not printed";
  EXPECT_TRUE(result_ == expectedResult(-0.01));

  EXPECT_EQ(sell(smallSale(0.0), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[1].text, kAskPrinting);
}

// Sales.ini as the host leaves it, seen in the request's Dwsubpoolid.
TEST_F(SaleFlowDll, TerminalNumberComesFromSalesIniOrTheDefault) {
  struct Case {
    const char* salesIni;  // nullptr: no Sales.ini
    const char* subPoolId;
  };
  const Case cases[] = {
      {nullptr, "0|16213"},
      {"[Kasse]\r\nTerminalID=4711\r\n", "0|4711"},
      {"TerminalID=1\r\nx=TerminalID=12=34\r\nTerminalID =99\r\n", "0|12"},
      {"terminalid=5\r\n", "0|16213"},
      {"TerminalID==5\r\n", "0|"},
      {"TerminalID=Kasse S\xC3\xBC" "d\r\n", "0|Kasse S\xC3\xBC" "d"},
  };
  acceptingKasse();
  for (const Case& c : cases) {
    DeleteFileW(L"Sales.ini");
    if (c.salesIni != nullptr) writeFile("Sales.ini", c.salesIni);
    ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_NE(lastBody().find(std::string("<Dwsubpoolid>") + c.subPoolId + "</Dwsubpoolid>"), std::string::npos)
        << (c.salesIni ? c.salesIni : "(no Sales.ini)");
    EXPECT_NE(readFile("QelConnect.log").find("PaySystemDate.dwTerminalNr: 77\r\n"), std::string::npos)
        << "the record's terminal is the pool, whatever Sales.ini says";
  }
}

TEST_F(SaleFlowDll, InitEmptiesTheLogBetweenSales) {
  acceptingKasse();
  sell(smallSale(), {kIdOk, kIdOk});
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), std::string(kLogEntry) + kLogEntry);
  init();
  EXPECT_EQ(readFile("QelConnect.log"), "");
  sell(smallSale(), {kIdOk, kIdOk});
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

// Another program holding the log open without any sharing costs the entry
// and nothing else.
TEST_F(SaleFlowDll, ALogLockedByAnotherProgramCostsOnlyTheEntry) {
  acceptingKasse();
  {
    HeldFile locked(L"QelConnect.log", 0);
    ASSERT_TRUE(locked.isOpen());
    EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_EQ(dialogs().size(), 2u) << "no error box for the log";
    EXPECT_EQ(requestCount(), 1u);
    EXPECT_TRUE(result_ == expectedResult(42.5));
  }
  EXPECT_EQ(readFile("QelConnect.log"), "");

  // A viewer that shares the file does not stand in the way.
  HeldFile viewer(L"QelConnect.log", FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(viewer.isOpen());
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
}

struct FailedSale {
  const char* name;
  std::string config;  // QelConnect.xml; empty: none
  std::string answer;  // the cash register's response; empty: no server
  std::wstring message;
};

class FailedSaleDll : public DllFlowTest, public ::testing::WithParamInterface<FailedSale> {};

TEST_P(FailedSaleDll, ShowsOneErrorBoxAndLeavesRecordAndLogAlone) {
  const FailedSale& c = GetParam();
  if (!c.answer.empty()) startKasse(c.answer);
  if (!c.config.empty()) writeFile("QelConnect.xml", c.config);
  EXPECT_EQ(sell(smallSale(), {kIdOk}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  expectErrorBox(dialogs()[1], c.message);
  EXPECT_TRUE(resultUntouched());
  EXPECT_FALSE(fileExists(L"QelConnect.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedSaleDll,
    ::testing::Values(
        FailedSale{"MissingConfig", "", "",
                   L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
                   L"[pathto]/Quendal/Sales/"},
        FailedSale{"MismatchedConfig", "<endpoint><url>x</uri></endpoint>", "",
                   L"Parsing error in configuration file 'QelConnect.xml'."},
        FailedSale{"RefusedOrder", "",
                   httpResponse(200, kasseAnswer("4", "Ung\xC3\xBCltige Belegnummer, Gr\xC3\xB6\xC3\x9F" "e "
                                                      "\xC3\xBC" "berschritten")),
                   L"SAP Kasse response error: Ung\u00fcltige Belegnummer, Gr\u00f6\u00dfe \u00fcberschritten"}),
    [](const ::testing::TestParamInfo<FailedSale>& info) { return info.param.name; });

}  // namespace
}  // namespace qel::test
