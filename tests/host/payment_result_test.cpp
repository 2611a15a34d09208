// Tests for filling the host's payment result record and for its log entry.
#include "host/payment_result.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "order/host_records.h"
#include "order/order.h"
#include "tests/support/golden_result.h"
#include "tests/support/scratch_dir.h"

namespace qel {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kHostOrderSize = 1296;
constexpr std::size_t kPaymentTypeSize = 16;

template <typename T>
void put(Bytes& bytes, std::size_t offset, T value) {
  std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <typename T>
T get(const Bytes& bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// A sale record without positions or fees, carrying the header values that
// reach the result record.
struct Sale : test::CompletedSale {
  Sale() : CompletedSale{4711, 100234, 87.5, 12, 3} {}
};

struct FilledSale {
  Bytes hostOrder = Bytes(kHostOrderSize, 0);
  Bytes paymentType = Bytes(kPaymentTypeSize, 0xEE);
  Order order;
};

void buildSale(const Sale& sale, FilledSale& out) {
  put<std::int32_t>(out.hostOrder, 8, sale.auftragId);
  put<std::int32_t>(out.hostOrder, 12, sale.belegNr);
  put<double>(out.hostOrder, 28, sale.grossTotal);
  put<std::int32_t>(out.hostOrder, 1292, sale.poolId);
  put<std::uint32_t>(out.paymentType, 4, sale.zahlartId);
  out.order.fillFromHostOrder(HostOrderRecord(out.hostOrder.data()));
}

Bytes fill(const Sale& sale, std::uint8_t pattern) {
  FilledSale filled;
  buildSale(sale, filled);
  Bytes record(paymentresult::kRecordSize, pattern);
  fillPaymentResult(record.data(), filled.order, HostOrderRecord(filled.hostOrder.data()), filled.paymentType.data());
  return record;
}

Bytes expectedRecord(const Sale& sale, std::uint8_t pattern) {
  const test::ResultRecord golden = test::goldenResult(sale, pattern);
  return Bytes(golden.begin(), golden.end());
}

class FillPaymentResult : public testing::TestWithParam<std::uint8_t> {};

TEST_P(FillPaymentResult, WritesListedFieldsAndKeepsEveryOtherByte) {
  const Sale sale;
  EXPECT_EQ(fill(sale, GetParam()), expectedRecord(sale, GetParam()));
}

TEST_P(FillPaymentResult, NegativeAndExtremeValuesArriveUnchanged) {
  Sale sale;
  sale.auftragId = -1;
  sale.belegNr = -2;
  sale.grossTotal = -25.99;
  sale.poolId = INT32_MIN;
  sale.zahlartId = 0xFFFFFFFFu;
  EXPECT_EQ(fill(sale, GetParam()), expectedRecord(sale, GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Patterns, FillPaymentResult, testing::Values(0x00, 0xA5, 0xFF));

TEST(FillPaymentResultAmounts, NanPayloadIsCopiedBitForBit) {
  Sale sale;
  std::uint64_t bits = 0x7FF8DEADBEEF0001ull;
  std::memcpy(&sale.grossTotal, &bits, 8);
  Bytes record = fill(sale, 0);
  EXPECT_EQ(get<std::uint64_t>(record, 440), bits);
  EXPECT_EQ(get<std::uint64_t>(record, 448), bits);
}

// Every test starts in an empty working folder of its own.
class PaymentLog : public testing::Test {
 protected:
  test::ScratchDir dir_;

  static std::string readLog() {
    std::ifstream in(kPaymentLogFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

// A filled record whose host-owned status words carry values of their own.
Bytes completedRecord() {
  Sale sale;
  sale.poolId = 7;
  Bytes record = fill(sale, 0xA5);
  put<std::int32_t>(record, 395, -3);
  put<std::int32_t>(record, 399, 2);
  return record;
}

// completedRecord()'s sale with its status words.
const std::string kCompletedEntry = test::goldenLogEntry({4711, 100234, 87.5, 7, 3}, -3, 2);

TEST_F(PaymentLog, EntryIsExact) {
  logPaymentResult(completedRecord().data(), 0);
  EXPECT_EQ(readLog(), kCompletedEntry);
}

TEST_F(PaymentLog, EntriesAreAppended) {
  Bytes record = completedRecord();
  logPaymentResult(record.data(), 0);
  logPaymentResult(record.data(), 0);
  EXPECT_EQ(readLog(), std::string(kCompletedEntry) + kCompletedEntry);
}

TEST_F(PaymentLog, NumbersKeepTheirSignedness) {
  Bytes record = completedRecord();
  put<std::uint32_t>(record, 9, 0xFFFFFFFFu);
  put<std::int32_t>(record, 395, INT32_MIN);
  logPaymentResult(record.data(), -5);
  std::string log = readLog();
  EXPECT_EQ(log.rfind("Exception Code: -5\r\n", 0), 0u);
  EXPECT_NE(log.find("\r\nPaySystemDate.dwBelegNr: 4294967295\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\nPaySystemDate.ePayStatus: -2147483648\r\n"), std::string::npos);
}

TEST_F(PaymentLog, TextWithoutTerminatorEndsAtItsField) {
  Bytes record = completedRecord();
  std::memset(record.data() + 13, 'A', 41);  // szAID filled up to szTerminalNr
  logPaymentResult(record.data(), 0);
  EXPECT_NE(readLog().find("\r\nPaySystemDate.szAID: " + std::string(41, 'A') + "\r\n"), std::string::npos);
}

TEST_F(PaymentLog, LogThatCannotBeOpenedCostsOnlyTheEntry) {
  std::filesystem::create_directory(kPaymentLogFile);
  EXPECT_NO_THROW(logPaymentResult(completedRecord().data(), 0));
  EXPECT_NO_THROW(truncateLog());
  EXPECT_TRUE(std::filesystem::is_directory(kPaymentLogFile));
}

TEST_F(PaymentLog, TruncateCreatesMissingLog) {
  truncateLog();
  EXPECT_TRUE(std::filesystem::exists(kPaymentLogFile));
  EXPECT_EQ(readLog(), "");
}

TEST_F(PaymentLog, TruncateKeepsOnlyLaterEntries) {
  Bytes record = completedRecord();
  logPaymentResult(record.data(), 0);
  logPaymentResult(record.data(), 0);
  truncateLog();
  EXPECT_EQ(readLog(), "");
  logPaymentResult(record.data(), 0);
  EXPECT_EQ(readLog(), kCompletedEntry);
}

}  // namespace
}  // namespace qel
