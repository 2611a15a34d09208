// hrECExecute on the native library, the cases that only the dialog seam and
// POSIX files can set up: a log that is a folder, and records that the host
// passes null. The cases that both targets run are in flow_cases_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/qelconnect.h"
#include "tests/host/flow_fixture.h"

namespace qel::test {
namespace {

class SaleFlowTest : public FlowTest {};

TEST_F(SaleFlowTest, ALogThatCannotBeOpenedCostsOnlyTheEntry) {
  acceptingKasse();
  std::filesystem::create_directory("QelConnect.log");
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  EXPECT_TRUE(result_ == expectedResult(42.5));
}

TEST_F(SaleFlowTest, NullRecordsEndInTheErrorBoxBeforeAnyQuestion) {
  acceptingKasse();
  boxoffice::HostSale sale(smallSale());
  boxoffice::BoxAnswerer dialogs(*library_, std::vector<int>{});
  EXPECT_EQ(hrECExecute(nullptr, owner(), nullptr, paymentType_.data(), nullptr, result_.data()), kNotCompleted);
  EXPECT_EQ(hrECExecute(nullptr, owner(), sale.record(), nullptr, nullptr, result_.data()), kNotCompleted);
  EXPECT_EQ(hrECExecute(nullptr, owner(), sale.record(), paymentType_.data(), nullptr, nullptr), kNotCompleted);
  ASSERT_EQ(dialogs.dialogs().size(), 3u);
  EXPECT_EQ(dialogs.dialogs()[0].text, L"Invalid call of hrECExecute: the order record (parameter 3) is null.");
  EXPECT_EQ(dialogs.dialogs()[1].text, L"Invalid call of hrECExecute: the payment type record (parameter 4) is null.");
  EXPECT_EQ(dialogs.dialogs()[2].text,
            L"Invalid call of hrECExecute: the payment result record (parameter 6) is null.");
  for (const ShownDialog& d : dialogs.dialogs()) EXPECT_EQ(d.caption, kErrorCaption);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(resultUntouched());
}

TEST_F(SaleFlowTest, NullListWithACountSendsNothing) {
  acceptingKasse();
  boxoffice::SaleBytes sale = smallSale();
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
