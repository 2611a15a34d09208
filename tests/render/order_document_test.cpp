// The order document: whole documents from host records, single items, and
// the guarantees that free text cannot change the document's structure.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cstring>
#include <string>

#include "order/host_records.h"
#include "order/order.h"
#include "platform/platform.h"
#include "render/format.h"
#include "render/order_document.h"
#include "render/request_template.h"
#include "tests/render/golden_documents.h"
#include "hostkit/host_sale.h"

namespace qel {
namespace {

using hostkit::HostSale;
using test::richSale;
using hostkit::SaleBytes;

// The document as it goes on the wire: line breaks and tabs removed, UTF-8.
std::string wire(std::wstring text) {
  removeLineBreaks(text);
  return platform::wideToUtf8(text);
}

Order richOrder() {
  const HostSale sale(richSale());
  Order order;
  order.setSubPoolId(test::kRichSaleSubPoolId);
  order.setTerminalId(platform::utf8ToWide(test::kRichSaleTerminalId));
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return order;
}

TEST(OrderDocumentTest, RichSale) {
  EXPECT_EQ(wire(renderOrder(richOrder())), test::kRichSaleDocument);
}

TEST(OrderDocumentTest, Refund) {
  const auto bytes = test::refundExample();
  Order order;
  order.fillFromRefund(HostRefundRecord(bytes.data()));
  EXPECT_EQ(wire(renderOrder(order)), test::kRefundDocument);
}

// Before the line breaks go, the document keeps the templates' layout: the
// fee element that the order template splits over two lines stays split.
TEST(OrderDocumentTest, KeepsTheTemplateLayout) {
  const std::wstring text = renderOrder(Order());
  EXPECT_EQ(text.find(L"\t<ImAuftrag>\r\n\t\t<Dwaufragid>0</Dwaufragid>\r\n"), 0u);
  EXPECT_NE(text.find(L"<Gebauftragsgebuehr>\r\n\t\t</Gebauftragsgebuehr>"), std::wstring::npos);
  EXPECT_NE(text.find(L"\r\n\t\t<Pzusatzgebuehren xsi:nil=\"true\"/>\r\n"), std::wstring::npos);
}

TEST(OrderDocumentTest, FeeItems) {
  const struct {
    AdditionalFee fee;
    const char* item;
  } cases[] = {
      {{5.95, 19.0, L"EUR", L"EUR"}, "<Dbsumme>5.95</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>5.90"},
      {{119.0, 19.0, L"EUR", L"EUR"},
       "<Dbsumme>119.00</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>118.00"},
      {{3.0, 19.0, L"EUR", L"EUR"}, "<Dbsumme>3.00</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.97"},
      {{2.355, 19.0, L"EUR", L"EUR"},
       "<Dbsumme>2.36</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.34"},
      {{-5.95, 7.005, L"EUR", L"EUR"},
       "<Dbsumme>-5.95</Dbsumme><Dbsteuersatz>7.01</Dbsteuersatz><Dbsteuersumme>-5.89"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire(renderFee(c.fee)), std::string("<item><Szbezeichnung>EUR</Szbezeichnung>") + c.item +
                                          "</Dbsteuersumme></item>");
  }
}

TEST(OrderDocumentTest, EventNumbers) {
  const struct {
    std::int32_t vanummer;
    std::int32_t zusatz;
    const wchar_t* text;
  } cases[] = {{123, 5, L"123|5"}, {0, 0, L"0|0"}, {-1, 2147483647, L"-1|2147483647"}};
  for (const auto& c : cases) {
    EventInfo event;
    event.vanummer = c.vanummer;
    event.vanummerZusatz = c.zusatz;
    EXPECT_EQ(formatVanummer(event), c.text);
    EXPECT_NE(renderEvent(event).find(std::wstring(L"<Dwvanummer>") + c.text + L"</Dwvanummer>"),
              std::wstring::npos);
  }
}

// Few items are read straight from their templates, many from templates
// taken apart once; a single item is always read straight. An order with
// many of each must hold every item as it is rendered alone.
TEST(OrderDocumentTest, ManyItemsAreWrittenAsSingleItems) {
  hostkit::SaleBytes bytes = richSale();
  const std::vector<hostkit::PositionBytes> two = bytes.positions;
  const auto fees = bytes.zusatzgebuehren;
  for (int i = 0; i < 3; ++i) {
    bytes.positions.insert(bytes.positions.end(), two.begin(), two.end());
    bytes.zusatzgebuehren.insert(bytes.zusatzgebuehren.end(), fees.begin(), fees.end());
  }
  bytes.positions[0].tickets.resize(9, bytes.positions[0].tickets[1]);
  const HostSale sale(bytes);
  Order order;
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  ASSERT_EQ(order.auftragspositionen().size(), 8u);

  std::wstring positions;
  for (const OrderPosition& p : order.auftragspositionen()) positions += renderPosition(p);
  std::wstring additionalFees;
  for (const AdditionalFee& f : order.zusatzgebuehren()) additionalFees += renderFee(f);
  const std::wstring document = renderOrder(order);
  EXPECT_NE(document.find(positions), std::wstring::npos);
  EXPECT_NE(document.find(additionalFees), std::wstring::npos);
}

TEST(OrderDocumentTest, RenderingTwiceGivesTheSameText) {
  const Order order = richOrder();
  EXPECT_EQ(renderOrder(order), renderOrder(order));
}

// The currency and the terminal id come from outside; like names they are
// escaped, so they cannot close or open elements.
TEST(OrderDocumentTest, CurrencyAndTerminalIdAreEscaped) {
  const hostkit::RefundRecord bytes = hostkit::hostRefund({0, 0.0, "<a>", 0});
  Order order;
  order.fillFromRefund(HostRefundRecord(bytes.data()));
  order.setTerminalId(L"1&2");
  const std::string text = wire(renderOrder(order));
  EXPECT_NE(text.find("<Szwaehrung>&lt;a&gt;</Szwaehrung>"), std::string::npos);
  EXPECT_NE(text.find("<Dwsubpoolid>0|1&amp;2</Dwsubpoolid>"), std::string::npos);
}

// The whole request as the exchange builds it must stay well-formed XML
// whatever the free text holds, and carry that text back unchanged.
TEST(OrderDocumentTest, EnvelopeStaysWellFormedWhateverTheTextHolds) {
  SaleBytes bytes = richSale();
  bytes.positions[1].event.name = "A\x01" "B\x1F" "C </Szname></item>";
  const HostSale sale(bytes);
  Order order;
  order.setTerminalId(L"12</Dwsubpoolid><Dwpoolid>9</Dwpoolid>");
  order.fillFromHostOrder(HostOrderRecord(sale.record()));

  RequestTemplate envelope;
  envelope.load(101);
  envelope.set(L"auftrag", renderOrder(order));
  const std::string request = wire(envelope.text());

  tinyxml2::XMLDocument document;
  ASSERT_EQ(document.Parse(request.c_str(), request.size()), tinyxml2::XML_SUCCESS) << request;
  const tinyxml2::XMLElement* auftrag = document.RootElement()
                                            ->FirstChildElement("SOAP-ENV:Body")
                                            ->FirstChildElement("ns1:_-qel_-kasVubWsQuendalSales")
                                            ->FirstChildElement("ImAuftrag");
  ASSERT_NE(auftrag, nullptr);
  EXPECT_STREQ(auftrag->FirstChildElement("Dwsubpoolid")->GetText(), "0|12</Dwsubpoolid><Dwpoolid>9</Dwpoolid>");
  EXPECT_STREQ(auftrag->FirstChildElement("Dwpoolid")->GetText(), "7");
  EXPECT_EQ(auftrag->FirstChildElement("Dwpoolid")->NextSiblingElement("Dwpoolid"), nullptr);
  const tinyxml2::XMLElement* second =
      auftrag->FirstChildElement("Pauftragpos")->FirstChildElement("item")->NextSiblingElement("item");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->FirstChildElement("Vavainfo")->FirstChildElement("item")->FirstChildElement("Szname")->GetText(),
               "ABC </Szname></item>");
  // The "{summe}" of a fee's description is not the fee's sum.
  const tinyxml2::XMLElement* fee = auftrag->FirstChildElement("Pzusatzgebuehren")->FirstChildElement("item");
  EXPECT_STREQ(fee->FirstChildElement("Szbezeichnung")->GetText(), "{summe}");
}

}  // namespace
}  // namespace qel
