// Decoding a host's refund record into an Order.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "order/host_records.h"
#include "order/order.h"

namespace qel {
namespace {

// The 24 bytes of a refund record, every other byte of the host's record
// (from offset 24 on) holding `filler`.
struct RefundBytes {
  std::array<std::uint8_t, 64> bytes;

  RefundBytes(std::int32_t belegnummer, double amount, const std::string& currency, std::int32_t id,
              std::uint8_t filler = 0) {
    bytes.fill(filler);
    std::memcpy(bytes.data() + 4, &belegnummer, 4);
    std::memcpy(bytes.data() + 8, &amount, 8);
    std::memcpy(bytes.data() + 16, currency.data(), currency.size());
    if (currency.size() < 4) bytes[16 + currency.size()] = 0;
    std::memcpy(bytes.data() + 20, &id, 4);
  }
};

Order decode(const RefundBytes& record) {
  Order order;
  order.fillFromRefund(HostRefundRecord(record.bytes.data()));
  return order;
}

TEST(RefundRecordTest, FillsTheHeaderOnly) {
  const Order order = decode(RefundBytes(815, -25.0, "EUR", 471, 0xA5));
  EXPECT_EQ(order.id(), 471);
  EXPECT_EQ(order.belegnummer(), 815);
  EXPECT_EQ(order.bruttogesamtpreis(), -25.0);
  EXPECT_EQ(order.waehrung(), L"EUR");
  EXPECT_EQ(order.anzahlTickets(), 0);
  EXPECT_EQ(order.poolId(), 0);
  EXPECT_EQ(order.subPoolId(), 0);
  EXPECT_EQ(order.terminalId(), L"");
  EXPECT_FALSE(order.versandkosten() || order.auftragsgebuehr() || order.ticketversicherung() ||
               order.vorverkaufsgebuehr());
  EXPECT_TRUE(order.zusatzgebuehren().empty());
  EXPECT_TRUE(order.auftragspositionen().empty());
  EXPECT_TRUE(order.hasNegativeTotal());
}

TEST(RefundRecordTest, CurrencyAndAmountAreTakenAsTheHostGivesThem) {
  const struct {
    double amount;
    std::string currency;
    const wchar_t* waehrung;
  } cases[] = {
      {25.0, "EUR", L"EUR"},    {-25.0, "CHF", L"CHF"}, {0.0, "", L""},  // empty text replaces "EUR"
      {1.0, "EURO", L"EURO"},                                            // four letters without NUL; the id never joins
      {2.0, "\x80", L"\u20AC"},
  };
  for (const auto& c : cases) {
    const Order order = decode(RefundBytes(1, c.amount, c.currency, 0x41414141, 0x42));
    EXPECT_EQ(order.waehrung(), c.waehrung) << c.currency;
    EXPECT_EQ(order.bruttogesamtpreis(), c.amount);
    EXPECT_EQ(order.id(), 0x41414141);
  }
}

TEST(RefundRecordTest, BytesBeyondTheRecordChangeNothing) {
  EXPECT_EQ(decode(RefundBytes(9, 1.25, "EUR", 8, 0x00)), decode(RefundBytes(9, 1.25, "EUR", 8, 0xFF)));
}

}  // namespace
}  // namespace qel
