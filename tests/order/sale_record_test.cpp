// Decoding a host's sale record, its arrays and its fees into an Order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "base/vub_exception.h"
#include "boxoffice/host_sale.h"
#include "order/host_records.h"
#include "order/order.h"

namespace qel {
namespace {

using boxoffice::AdditionalFeeBytes;
using boxoffice::FeeBytes;
using boxoffice::HostSale;
using boxoffice::PositionBytes;
using boxoffice::SaleBytes;
using boxoffice::TicketBytes;

Order decode(const HostSale& sale) {
  Order order;
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return order;
}

// A sale that touches every field, with values whose bit patterns are easy to
// get wrong: doubles at odd offsets, negative and top-bit integers, ANSI text.
SaleBytes richSale() {
  SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = -815;
  sale.bruttogesamtpreis = 0.1 + 0.2;
  sale.poolId = 0x7FFFFFFF;

  PositionBytes first;
  first.id = 11;
  first.aboauftrag = 0x80;
  first.gesamtpreis = 2.355;
  first.mwstbetrag = -0.376;
  first.vvksum = 1e15;
  first.vvkrefsum = 5e-324;
  first.event = {900,
                 123,
                 5,
                 static_cast<std::int32_t>(0x80000001u),
                 1700000000,
                 "Gr\xF6\xDF"
                 "e Oper \x80"};
  first.tickets = {{1, 1.5, 2.25, 30.0}, {2, -1.0, 0.0, 31.125}, {3, 0.0, 7.0, 0.0}};

  PositionBytes second;
  second.id = 12;
  second.event.name = std::string(81, 'N');
  second.tickets = {{4, 1.0, 1.0, 1.0}, {5, 2.0, 2.0, 2.0}, {6, 3.0, 3.0, 3.0}, {7, 4.0, 4.0, 4.0}, {8, 5.0, 5.0, 5.0}};
  sale.positions = {first, second};

  sale.versandkosten = {1, "EUR", 5.95, 19.0};
  sale.auftragsgebuehr = {2, "XXX", 9.0, 9.0};
  sale.ticketversicherung = {1, "CHF", 3.0, 7.7};
  sale.vorverkaufsgebuehr = {1, "", 119.0, 19.0};
  sale.zusatzgebuehren = {{"Bearbeitung", "EUR", 2.5, 19.0}, {"ABCDEFGHIJKLM", "USD", 0.3, 0.0}};
  return sale;
}

TEST(SaleRecordTest, DecodesHeaderAtItsOffsets) {
  const HostSale sale(richSale());
  const Order order = decode(sale);
  EXPECT_EQ(order.id(), 4711);
  EXPECT_EQ(order.belegnummer(), -815);
  EXPECT_EQ(order.bruttogesamtpreis(), 0.1 + 0.2);
  EXPECT_EQ(order.poolId(), 0x7FFFFFFF);
  EXPECT_EQ(order.waehrung(), L"EUR");
  EXPECT_EQ(order.subPoolId(), 0);
  EXPECT_EQ(order.terminalId(), L"");
}

TEST(SaleRecordTest, DecodesPositionsTicketsAndEvents) {
  const HostSale sale(richSale());
  const Order order = decode(sale);
  ASSERT_EQ(order.auftragspositionen().size(), 2u);

  const OrderPosition& first = order.auftragspositionen()[0];
  EXPECT_EQ(first.id, 11);
  EXPECT_TRUE(first.aboauftrag);
  EXPECT_EQ(first.gesamtpreis, 2.355);
  EXPECT_EQ(first.mwstbetrag, -0.376);
  EXPECT_EQ(first.vvksum, 1e15);
  EXPECT_EQ(first.vvkrefsum, 5e-324);
  ASSERT_EQ(first.ticketinfos.size(), 3u);
  EXPECT_EQ(first.ticketinfos[1], (TicketInfo{2, -1.0, 0.0, 31.125}));
  EXPECT_EQ(first.ticketinfos[0], (TicketInfo{1, 1.5, 2.25, 30.0}));
  EXPECT_EQ(first.ticketinfos[2], (TicketInfo{3, 0.0, 7.0, 0.0}));
  ASSERT_EQ(first.veranstaltungen.size(), 1u);
  const EventInfo& event = first.veranstaltungen[0];
  EXPECT_EQ(event.id, 900);
  EXPECT_EQ(event.vanummer, 123);
  EXPECT_EQ(event.vanummerZusatz, 5);
  EXPECT_EQ(event.von, -2147483647);
  EXPECT_EQ(event.bis, 1700000000);
  EXPECT_EQ(event.name, L"Gr\u00F6\u00DFe Oper \u20AC");

  const OrderPosition& second = order.auftragspositionen()[1];
  EXPECT_EQ(second.id, 12);
  EXPECT_FALSE(second.aboauftrag);
  ASSERT_EQ(second.ticketinfos.size(), 5u);
  EXPECT_EQ(second.ticketinfos[4].id, 8);
  EXPECT_EQ(second.veranstaltungen.at(0).name, std::wstring(81, L'N'));

  // The header's ticket count is the first position's count alone.
  EXPECT_EQ(order.anzahlTickets(), 3);
}

TEST(SaleRecordTest, DecodesFixedAndAdditionalFees) {
  const HostSale sale(richSale());
  const Order order = decode(sale);

  ASSERT_TRUE(order.versandkosten().has_value());
  EXPECT_EQ(*order.versandkosten(), (AdditionalFee{5.95, 19.0, L"EUR", L"EUR"}));
  EXPECT_FALSE(order.auftragsgebuehr().has_value());
  ASSERT_TRUE(order.ticketversicherung().has_value());
  EXPECT_EQ(*order.ticketversicherung(), (AdditionalFee{3.0, 7.7, L"CHF", L"CHF"}));
  // An empty currency text replaces the initial "EUR".
  ASSERT_TRUE(order.vorverkaufsgebuehr().has_value());
  EXPECT_EQ(*order.vorverkaufsgebuehr(), (AdditionalFee{119.0, 19.0, L"", L""}));

  ASSERT_EQ(order.zusatzgebuehren().size(), 2u);
  EXPECT_EQ(order.zusatzgebuehren()[0], (AdditionalFee{2.5, 19.0, L"EUR", L"Bearbeitung"}));
  // Thirteen letters fill the designation; the currency after it stays apart.
  EXPECT_EQ(order.zusatzgebuehren()[1], (AdditionalFee{0.3, 0.0, L"USD", L"ABCDEFGHIJKLM"}));
}

// Whatever the host keeps in the ranges that carry nothing for the library,
// including the bytes after a text's NUL, the order is the same.
TEST(SaleRecordTest, IgnoredBytesChangeNothing) {
  Order reference;
  for (std::uint8_t filler : {0x00, 0x20, 0xA5, 0xFF}) {
    SaleBytes bytes = richSale();
    bytes.filler = filler;
    const HostSale sale(bytes);
    const Order order = decode(sale);
    if (filler == 0) {
      reference = order;
      continue;
    }
    EXPECT_EQ(order, reference) << "filler " << int(filler);
  }
}

TEST(SaleRecordTest, SameRecordGivesEqualOrders) {
  const HostSale sale(richSale());
  EXPECT_EQ(decode(sale), decode(sale));
  Order changed = decode(sale);
  changed.setTerminalId(L"12");
  EXPECT_NE(changed, decode(sale));
}

TEST(SaleRecordTest, PositionCountOfZeroOrLessGivesNoPositions) {
  for (std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
    SaleBytes bytes = richSale();
    bytes.positionCount = count;
    const HostSale sale(bytes);
    const Order order = decode(sale);
    EXPECT_TRUE(order.auftragspositionen().empty()) << count;
    EXPECT_EQ(order.anzahlTickets(), 0) << count;
  }
}

TEST(SaleRecordTest, TicketCountOfZeroOrLessGivesNoTicketsButOneEvent) {
  for (std::int32_t count : {0, -1}) {
    SaleBytes bytes = richSale();
    bytes.positions[0].ticketCount = count;
    const HostSale sale(bytes);
    const Order order = decode(sale);
    const OrderPosition& first = order.auftragspositionen().at(0);
    EXPECT_TRUE(first.ticketinfos.empty()) << count;
    EXPECT_EQ(first.veranstaltungen.size(), 1u) << count;
    EXPECT_EQ(order.anzahlTickets(), count);
  }
}

// The header takes the first position's count as stored, not the number of
// tickets that were read.
TEST(SaleRecordTest, TicketCountIsTakenAsStored) {
  SaleBytes bytes = richSale();
  bytes.positions[0].ticketCount = 2;
  const HostSale sale(bytes);
  const Order order = decode(sale);
  EXPECT_EQ(order.anzahlTickets(), 2);
  EXPECT_EQ(order.auftragspositionen()[0].ticketinfos.size(), 2u);
}

TEST(SaleRecordTest, FixedFeeIsPresentOnlyForFlagOne) {
  for (std::uint8_t flag : {0, 1, 2, 0x81, 255}) {
    SaleBytes bytes = richSale();
    bytes.versandkosten.flag = flag;
    bytes.auftragsgebuehr = {flag, "ABC", 1.0, 2.0};
    bytes.ticketversicherung.flag = flag;
    bytes.vorverkaufsgebuehr.flag = flag;
    const HostSale sale(bytes);
    const Order order = decode(sale);
    const bool present = flag == 1;
    EXPECT_EQ(order.versandkosten().has_value(), present) << int(flag);
    EXPECT_EQ(order.auftragsgebuehr().has_value(), present) << int(flag);
    EXPECT_EQ(order.ticketversicherung().has_value(), present) << int(flag);
    EXPECT_EQ(order.vorverkaufsgebuehr().has_value(), present) << int(flag);
    if (present) {
      EXPECT_EQ(*order.auftragsgebuehr(), (AdditionalFee{1.0, 2.0, L"ABC", L"ABC"}));
    }
  }
}

// Four currency letters fill the fee's text field; the amount after it never
// becomes part of the text.
TEST(SaleRecordTest, TextFillingItsFieldEndsAtTheFieldsEnd) {
  SaleBytes bytes = richSale();
  bytes.versandkosten.waehrung = "EURO";
  bytes.zusatzgebuehren[0].waehrung = "DKKX";
  const HostSale sale(bytes);
  const Order order = decode(sale);
  EXPECT_EQ(order.versandkosten()->waehrung, L"EURO");
  EXPECT_EQ(order.zusatzgebuehren()[0].waehrung, L"DKKX");
  EXPECT_EQ(order.zusatzgebuehren()[0].summe, 2.5);
}

TEST(SaleRecordTest, NoFeesGiveEmptyList) {
  SaleBytes bytes = richSale();
  bytes.zusatzgebuehren.clear();
  bytes.nullZusatzgebuehren = true;
  const HostSale sale(bytes);
  EXPECT_TRUE(decode(sale).zusatzgebuehren().empty());
}

// A list that cannot be read is refused with a message naming its fields,
// and the order stays as it was: a null pointer beside a count that
// promises records, or a count that no order can mean.
TEST(SaleRecordTest, ListThatCannotBeReadIsRefused) {
  struct Case {
    void (*corrupt)(SaleBytes&);
    const wchar_t* message;
  };
  const Case cases[] = {
      {[](SaleBytes& s) {
         s.nullPositions = true;
         s.positionCount = 3;
       },
       L"Invalid order record: Pauftragpos is null but Cdwauftragpos is 3"},
      {[](SaleBytes& s) { s.positions[1].nullTickets = true; },
       L"Invalid order record: Pticketinfos is null but Citicketspos is 5"},
      {[](SaleBytes& s) { s.nullZusatzgebuehren = true; },
       L"Invalid order record: Pzusatzgebuehren is null but Cdwzusatzgebuehren is 2"},
      // The additional-fee count is unsigned: its top bit makes it large.
      {[](SaleBytes& s) {
         s.nullZusatzgebuehren = true;
         s.zusatzgebuehrenCount = 0x80000000u;
       },
       L"Invalid order record: Pzusatzgebuehren is null but Cdwzusatzgebuehren is 2147483648"},
      {[](SaleBytes& s) { s.zusatzgebuehrenCount = 0xFFFFFFFFu; },
       L"Invalid order record: Cdwzusatzgebuehren is 4294967295"},
      {[](SaleBytes& s) { s.positionCount = 1000001; }, L"Invalid order record: Cdwauftragpos is 1000001"},
      {[](SaleBytes& s) { s.positions[0].ticketCount = 1000001; }, L"Invalid order record: Citicketspos is 1000001"},
      {[](SaleBytes& s) { s.zusatzgebuehrenCount = 1000001; }, L"Invalid order record: Cdwzusatzgebuehren is 1000001"},
      {[](SaleBytes& s) { s.positions[1].ticketCount = 0x7FFFFFFF; },
       L"Invalid order record: Citicketspos is 2147483647"},
  };
  for (const Case& c : cases) {
    SaleBytes bytes = richSale();
    c.corrupt(bytes);
    const HostSale sale(bytes);
    Order order;
    order.setTerminalId(L"7");
    const Order before = order;
    try {
      order.fillFromHostOrder(HostOrderRecord(sale.record()));
      ADD_FAILURE() << "no exception for " << std::string(c.message, c.message + std::wcslen(c.message));
    } catch (const VubException& e) {
      EXPECT_EQ(e.message(), c.message);
      EXPECT_EQ(e.code(), 0);
    }
    EXPECT_EQ(order, before);
  }
}

// A list of exactly a million records is read whole; one more is refused
// above. The records are zeroed memory that the system maps only when it is
// written, so a million of them cost little.
TEST(SaleRecordTest, ListOfAMillionRecordsIsRead) {
  constexpr std::int32_t kMillion = 1000000;
  struct Case {
    const char* list;
    std::size_t recordSize;
    // The record that holds the list's count and pointer, from the sale's
    // start: the header, or the first position right after it.
    std::size_t owner;
    std::size_t countOffset;
    std::size_t pointerOffset;
    std::size_t (*read)(const Order&);
  };
  const Case cases[] = {
      {"positions", HostPositionRecord::kSize, 0, HostOrderRecord::kCdwauftragpos, HostOrderRecord::kPauftragpos,
       [](const Order& o) { return o.auftragspositionen().size(); }},
      {"tickets", HostTicketRecord::kSize, HostSale::kHeaderSize, HostPositionRecord::kCiticketspos,
       HostPositionRecord::kPticketinfos,
       [](const Order& o) { return o.auftragspositionen().at(0).ticketinfos.size(); }},
      {"additional fees", HostAdditionalFeeRecord::kSize, 0, HostOrderRecord::kCdwzusatzgebuehren,
       HostOrderRecord::kPzusatzgebuehren, [](const Order& o) { return o.zusatzgebuehren().size(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    SaleBytes bytes = richSale();
    bytes.positions.resize(1);
    HostSale sale(bytes);
    const boxoffice::LowMemory records(c.recordSize * kMillion);
    std::uint8_t* owner = sale.begin() + c.owner;
    HostSale::put<std::int32_t>(owner, c.countOffset, kMillion);
    HostSale::put<std::uint32_t>(owner, c.pointerOffset, boxoffice::LowMemory::addressOf(records.data()));
    EXPECT_EQ(c.read(decode(sale)), std::size_t{kMillion});
  }
}

// Null pointers beside empty counts are never followed.
TEST(SaleRecordTest, NullListPointerWithoutRecordsIsFine) {
  SaleBytes bytes = richSale();
  bytes.nullPositions = true;
  bytes.positionCount = -4;
  bytes.nullZusatzgebuehren = true;
  bytes.zusatzgebuehrenCount = 0;
  const HostSale sale(bytes);
  const Order order = decode(sale);
  EXPECT_TRUE(order.auftragspositionen().empty());
  EXPECT_TRUE(order.zusatzgebuehren().empty());

  SaleBytes noTickets = richSale();
  noTickets.positions[0].nullTickets = true;
  noTickets.positions[0].ticketCount = 0;
  const HostSale sale2(noTickets);
  EXPECT_TRUE(decode(sale2).auftragspositionen().at(0).ticketinfos.empty());
}

TEST(SaleRecordTest, HasNegativeTotalOnlyBelowZero) {
  const struct {
    double total;
    bool negative;
  } cases[] = {{-0.01, true}, {-1e300, true}, {0.0, false}, {-0.0, false}, {std::nan(""), false}, {5.0, false}};
  for (const auto& c : cases) {
    SaleBytes bytes;
    bytes.bruttogesamtpreis = c.total;
    const HostSale sale(bytes);
    EXPECT_EQ(decode(sale).hasNegativeTotal(), c.negative) << c.total;
  }
}

TEST(SaleRecordTest, SettersReplaceTheirFields) {
  Order order;
  order.setSubPoolId(-3);
  order.setTerminalId(L"12</Dwsubpoolid>");
  EXPECT_EQ(order.subPoolId(), -3);
  EXPECT_EQ(order.terminalId(), L"12</Dwsubpoolid>");
  // Filling from the host touches neither of them.
  const HostSale sale(richSale());
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  EXPECT_EQ(order.subPoolId(), -3);
  EXPECT_EQ(order.terminalId(), L"12</Dwsubpoolid>");
}

TEST(SaleRecordTest, FreshOrderHoldsInitialValues) {
  const Order order;
  EXPECT_EQ(order.waehrung(), L"EUR");
  EXPECT_EQ(order.bruttogesamtpreis(), 0.0);
  EXPECT_FALSE(order.versandkosten().has_value());
  EXPECT_TRUE(order.auftragspositionen().empty());
  const AdditionalFee fee;
  EXPECT_EQ(fee.steuersatz, 19.0);
  EXPECT_EQ(fee.waehrung, L"EUR");
}

}  // namespace
}  // namespace qel
