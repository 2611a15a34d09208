// Tests for the command-line host's records: laid out from an order file and
// read back through the library's order model.
#include "tools/qelhost/host_record_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "order/host_records.h"
#include "order/order.h"

namespace qel::qelhost {
namespace {

using nlohmann::json;

json loadExample(const std::string& name) {
  std::ifstream in(std::string(QEL_EXAMPLES_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return json::parse(in);
}

Order saleOrder(const HostRecordImage& image) {
  Order order;
  order.fillFromHostOrder(HostOrderRecord(image.hostOrder()));
  return order;
}

TEST(HostRecordImage, ExampleSaleReadsBackThroughTheOrderModel) {
  std::ostringstream warnings;
  HostRecordImage image = HostRecordImage::fromJson(loadExample("sale.json"), warnings);
  EXPECT_EQ(warnings.str(), "");
  ASSERT_FALSE(image.isRefund());
  Order order = saleOrder(image);

  EXPECT_EQ(order.id(), 4711);
  EXPECT_EQ(order.belegnummer(), 100234);
  EXPECT_DOUBLE_EQ(order.bruttogesamtpreis(), 98.40);
  EXPECT_EQ(order.poolId(), 12);
  EXPECT_EQ(order.anzahlTickets(), 2);
  ASSERT_EQ(order.auftragspositionen().size(), 2u);

  const OrderPosition& second = order.auftragspositionen()[1];
  EXPECT_EQ(second.id, 2);
  EXPECT_TRUE(second.aboauftrag);
  EXPECT_DOUBLE_EQ(second.gesamtpreis, 22.00);
  EXPECT_DOUBLE_EQ(second.mwstbetrag, 1.44);
  EXPECT_DOUBLE_EQ(second.vvksum, 2.00);
  EXPECT_DOUBLE_EQ(second.vvkrefsum, 1.50);
  ASSERT_EQ(second.veranstaltungen.size(), 1u);
  const EventInfo& event = second.veranstaltungen[0];
  EXPECT_EQ(event.id, 502);
  EXPECT_EQ(event.vanummer, 2025);
  EXPECT_EQ(event.vanummerZusatz, 3);
  EXPECT_EQ(event.von, 1719165600);
  EXPECT_EQ(event.bis, 1719172800);
  EXPECT_EQ(event.name, L"Lesung: M\u00E4rchen & Mythen");
  ASSERT_EQ(second.ticketinfos.size(), 1u);
  EXPECT_EQ(second.ticketinfos[0].id, 90003);
  EXPECT_DOUBLE_EQ(second.ticketinfos[0].vvk, 2.00);
  EXPECT_DOUBLE_EQ(second.ticketinfos[0].vvkref, 1.50);
  EXPECT_DOUBLE_EQ(second.ticketinfos[0].gesamtpreis, 22.00);
  EXPECT_EQ(order.auftragspositionen()[0].ticketinfos.size(), 2u);

  ASSERT_TRUE(order.versandkosten().has_value());
  EXPECT_DOUBLE_EQ(order.versandkosten()->summe, 3.90);
  EXPECT_EQ(order.versandkosten()->waehrung, L"EUR");
  ASSERT_TRUE(order.vorverkaufsgebuehr().has_value());
  EXPECT_DOUBLE_EQ(order.vorverkaufsgebuehr()->summe, 7.00);
  EXPECT_FALSE(order.auftragsgebuehr().has_value());
  EXPECT_FALSE(order.ticketversicherung().has_value());
  ASSERT_EQ(order.zusatzgebuehren().size(), 1u);
  EXPECT_EQ(order.zusatzgebuehren()[0].bezeichnung, L"Servicegeb.");
  EXPECT_DOUBLE_EQ(order.zusatzgebuehren()[0].summe, 1.50);
  EXPECT_DOUBLE_EQ(order.zusatzgebuehren()[0].steuersatz, 19.0);

  std::uint32_t zahlart;
  std::memcpy(&zahlart, static_cast<const std::uint8_t*>(image.paymentType()) + 4, 4);
  EXPECT_EQ(zahlart, 3u);
  EXPECT_EQ(image.summary().tickets, 3u);
  EXPECT_EQ(image.summary().fixedFees, 2u);
}

TEST(HostRecordImage, ExampleRefundReadsBackThroughTheOrderModel) {
  std::ostringstream warnings;
  HostRecordImage image = HostRecordImage::fromJson(loadExample("refund.json"), warnings);
  ASSERT_TRUE(image.isRefund());
  Order order;
  order.fillFromRefund(HostRefundRecord(image.refund()));
  EXPECT_EQ(order.id(), 4711);
  EXPECT_EQ(order.belegnummer(), 100235);
  EXPECT_DOUBLE_EQ(order.bruttogesamtpreis(), 64.00);
  EXPECT_EQ(order.waehrung(), L"EUR");
}

TEST(HostRecordImage, TextsCutAndAmountsRoundedGetANote) {
  std::ostringstream warnings;
  HostRecordImage image = HostRecordImage::fromJson(
      json::parse(R"({"order": {"Dblbruttogesamtpreis": 12.345, "additionalFees": [{"Szbezeichnung": )"
                  R"("Bearbeitungsgebuehr", "Szwaehrung": "EURO", "Dbsumme": 0.1}]}})"),
      warnings);
  Order order = saleOrder(image);
  ASSERT_EQ(order.zusatzgebuehren().size(), 1u);
  EXPECT_EQ(order.zusatzgebuehren()[0].bezeichnung, L"Bearbeitungsg");
  EXPECT_EQ(order.zusatzgebuehren()[0].waehrung, L"EURO");
  EXPECT_NE(warnings.str().find("order.additionalFees[0].Szbezeichnung cut to its 13 bytes"), std::string::npos);
  // Amounts go out with two decimals: more are noted, two (0.1) are not.
  EXPECT_NE(warnings.str().find("note: order.Dblbruttogesamtpreis 12.345 has more than two decimals"),
            std::string::npos)
      << warnings.str();
  EXPECT_EQ(warnings.str().find("Dbsumme"), std::string::npos) << warnings.str();
  EXPECT_EQ(warnings.str().find("Szwaehrung"), std::string::npos);
}

TEST(HostRecordImage, CountsAndFlagsCanDifferFromTheLists) {
  std::ostringstream warnings;
  HostRecordImage image = HostRecordImage::fromJson(json::parse(R"({"order": {
      "positions": [{"Dwposid": 7, "Citicketspos": -1}],
      "Gebticketvers": {"Szwaehrung": "EUR", "Dbsumme": 1.0}, "Fticketvers": 2,
      "Cdwauftragpos": 1}})"),
                                                    warnings);
  Order order = saleOrder(image);
  EXPECT_EQ(order.anzahlTickets(), -1);
  ASSERT_EQ(order.auftragspositionen().size(), 1u);
  EXPECT_TRUE(order.auftragspositionen()[0].ticketinfos.empty());
  EXPECT_FALSE(order.ticketversicherung().has_value());
}

TEST(HostRecordImage, ListPointersFitThirtyTwoBits) {
  std::ostringstream warnings;
  HostRecordImage image = HostRecordImage::fromJson(loadExample("sale.json"), warnings);
  const auto* record = static_cast<const std::uint8_t*>(image.hostOrder());
  for (std::size_t offset : {std::size_t{1136}, std::size_t{1276}}) {
    const std::uint8_t* target = hostbytes::readPointer(record, offset);
    EXPECT_NE(target, nullptr) << offset;
    EXPECT_LT(reinterpret_cast<std::uintptr_t>(target), std::uintptr_t{0xFFFFFFFFu}) << offset;
  }
}

struct BadFile {
  const char* name;
  const char* json;
  const char* message;
};

class HostRecordImageRejects : public testing::TestWithParam<BadFile> {};

TEST_P(HostRecordImageRejects, NamesTheField) {
  std::ostringstream warnings;
  try {
    HostRecordImage::fromJson(json::parse(GetParam().json), warnings);
    FAIL() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostRecordImageRejects,
    testing::Values(
        BadFile{"NeitherOrderNorRefund", R"({})", "order file: needs exactly one of \"order\" and \"refund\""},
        BadFile{"BothOrderAndRefund", R"({"order": {}, "refund": {}})",
                "order file: needs exactly one of \"order\" and \"refund\""},
        BadFile{"MisspeltField", R"({"order": {"positions": [{"tickets": [{"Dwticketd": 1}]}]}})",
                "order.positions[0].tickets[0].Dwticketd: unknown field"},
        BadFile{"Int32OutOfRange", R"({"order": {"Dwaufragid": 2147483648}})",
                "order.Dwaufragid: out of range -2147483648 to 2147483647"},
        BadFile{"NegativeUnsigned", R"({"order": {"Cdwzusatzgebuehren": -1}})",
                "order.Cdwzusatzgebuehren: out of range 0 to 4294967295"},
        BadFile{"FractionForInteger", R"({"refund": {"Dwbelegnr": 1.5}})", "refund.Dwbelegnr: expected an integer"},
        BadFile{"TextForNumber", R"({"refund": {"Dblbruttogesamtpreis": "12"}})",
                "refund.Dblbruttogesamtpreis: expected a number"},
        BadFile{"CountBeyondList", R"({"order": {"positions": [{}], "Cdwauftragpos": 2}})",
                "order.Cdwauftragpos: larger than its list: the library would read past the records"},
        BadFile{"PaymentTypeOnRefund", R"({"refund": {}, "paymentType": {"dwZahlartID": 1}})",
                "order file: a refund takes no \"paymentType\""}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qel::qelhost
