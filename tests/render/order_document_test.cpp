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
#include "tests/support/host_sale.h"

namespace qel {
namespace {

using test::HostSale;
using test::SaleBytes;

// The document as it goes on the wire: line breaks and tabs removed, UTF-8.
std::string wire(std::wstring text) {
  removeLineBreaks(text);
  return platform::wideToUtf8(text);
}

// A sale with several positions, tickets and events, fixed fees present and
// absent, additional fees, text that needs escaping or looks like a
// placeholder, and amounts on both sides of a rounding tie.
SaleBytes richSale() {
  SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 161.5;
  sale.poolId = 7;
  sale.filler = 0xA5;

  test::PositionBytes first;
  first.id = 1;
  first.gesamtpreis = 2.355;
  first.mwstbetrag = 0.375;
  first.vvksum = 1.5;
  first.vvkrefsum = 0.125;
  first.event = {900, 123, 5, 1700000000, -1, "Rock & Roll <Live> \"Br\xFC" "der\" 'M\xFCller' {id}"};
  first.tickets = {{101, 1.5, 0.125, 30.0}, {102, 2.0, 1.0, 40.5}};

  test::PositionBytes second;
  second.id = 2;
  second.aboauftrag = 1;
  second.gesamtpreis = 129.145;
  second.mwstbetrag = 20.62;
  second.event = {901, 0, 0, 0, 0, "{zusatzgebuehren}"};

  sale.positions = {first, second};
  sale.versandkosten = {1, "EUR", 5.95, 19.0};
  sale.auftragsgebuehr = {2, "EUR", 9.99, 19.0};
  sale.vorverkaufsgebuehr = {1, "EUR", 119.0, 19.0};
  sale.ticketversicherung = {1, "EUR", 3.0, 19.0};
  sale.zusatzgebuehren = {{"{summe}", "EUR", 2.355, 19.0}, {"Geb\xFChr & Co", "EUR", 1.005, 7.0}};
  return sale;
}

Order richOrder() {
  const HostSale sale(richSale());
  Order order;
  order.setSubPoolId(3);
  order.setTerminalId(L"12</Dwsubpoolid>");
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return order;
}

TEST(OrderDocumentTest, RichSale) {
  EXPECT_EQ(wire(renderOrder(richOrder())),
            "<ImAuftrag>"
            "<Dwaufragid>4711</Dwaufragid>"
            "<Dwbelegnr>815</Dwbelegnr>"
            "<Szwaehrung>EUR</Szwaehrung>"
            "<Dblbruttogesamtpreis>161.50</Dblbruttogesamtpreis>"
            "<Citicketsges>2</Citicketsges>"
            "<Cdwauftragpos>2</Cdwauftragpos>"
            "<Pauftragpos>"
            "<item>"
            "<Dwposid>1</Dwposid><Faboauftrag>false</Faboauftrag><Citicketspos>2</Citicketspos>"
            "<Dbticketgesamtpreis>2.35</Dbticketgesamtpreis><Dbmwstbetrag>0.38</Dbmwstbetrag>"
            "<Dbvvksum>1.50</Dbvvksum><Dbvvkrefsum>0.12</Dbvvkrefsum>"
            "<Vavainfo><item>"
            "<Dwvaid>900</Dwvaid><Dwvanummer>123|5</Dwvanummer><Tvadatum>1700000000</Tvadatum><Tvabis>-1</Tvabis>"
            "<Szname>Rock &amp; Roll &lt;Live&gt; &quot;Br\xC3\xBC" "der&quot; &apos;M\xC3\xBCller&apos; {id}</Szname>"
            "</item></Vavainfo>"
            "<Pticketinfos>"
            "<item><Dwticketid>101</Dwticketid><Dbvvk>1.50</Dbvvk><Dwvvkref>0.12</Dwvvkref>"
            "<Dbticketgesamtpreis>30.00</Dbticketgesamtpreis></item>"
            "<item><Dwticketid>102</Dwticketid><Dbvvk>2.00</Dbvvk><Dwvvkref>1.00</Dwvvkref>"
            "<Dbticketgesamtpreis>40.50</Dbticketgesamtpreis></item>"
            "</Pticketinfos>"
            "</item>"
            "<item>"
            "<Dwposid>2</Dwposid><Faboauftrag>true</Faboauftrag><Citicketspos>0</Citicketspos>"
            "<Dbticketgesamtpreis>129.15</Dbticketgesamtpreis><Dbmwstbetrag>20.62</Dbmwstbetrag>"
            "<Dbvvksum>0.00</Dbvvksum><Dbvvkrefsum>0.00</Dbvvkrefsum>"
            "<Vavainfo><item>"
            "<Dwvaid>901</Dwvaid><Dwvanummer>0|0</Dwvanummer><Tvadatum>0</Tvadatum><Tvabis>0</Tvabis>"
            "<Szname>{zusatzgebuehren}</Szname>"
            "</item></Vavainfo>"
            "<Pticketinfos></Pticketinfos>"
            "</item>"
            "</Pauftragpos>"
            "<Fversandkosten>true</Fversandkosten>"
            "<Gebversandkosten><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>5.95</Dbsumme>"
            "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>5.90</Dbsteuersumme></item></Gebversandkosten>"
            "<Fauftragsgebuehr>false</Fauftragsgebuehr>"
            "<Gebauftragsgebuehr></Gebauftragsgebuehr>"
            "<Fvvkgebuehr>true</Fvvkgebuehr>"
            "<Gebvvkgebuehr><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>119.00</Dbsumme>"
            "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>118.00</Dbsteuersumme></item></Gebvvkgebuehr>"
            "<Cdwzusatzgebuehren>2</Cdwzusatzgebuehren>"
            "<Pzusatzgebuehren>"
            "<item><Szbezeichnung>{summe}</Szbezeichnung><Dbsumme>2.36</Dbsumme>"
            "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.34</Dbsteuersumme></item>"
            "<item><Szbezeichnung>Geb\xC3\xBChr &amp; Co</Szbezeichnung><Dbsumme>1.00</Dbsumme>"
            "<Dbsteuersatz>7.00</Dbsteuersatz><Dbsteuersumme>1.00</Dbsteuersumme></item>"
            "</Pzusatzgebuehren>"
            "<Fticketvers>true</Fticketvers>"
            "<Gebticketvers><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>3.00</Dbsumme>"
            "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.97</Dbsteuersumme></item></Gebticketvers>"
            "<Dwpoolid>7</Dwpoolid>"
            "<Dwsubpoolid>3|12&lt;/Dwsubpoolid&gt;</Dwsubpoolid>"
            "</ImAuftrag>");
}

TEST(OrderDocumentTest, Refund) {
  unsigned char bytes[24] = {};
  const std::int32_t belegnummer = 815;
  const double amount = -25.0;
  const std::int32_t id = 471;
  std::memcpy(bytes + 4, &belegnummer, 4);
  std::memcpy(bytes + 8, &amount, 8);
  std::memcpy(bytes + 16, "EUR", 4);
  std::memcpy(bytes + 20, &id, 4);
  Order order;
  order.fillFromRefund(HostRefundRecord(bytes));

  EXPECT_EQ(wire(renderOrder(order)),
            "<ImAuftrag><Dwaufragid>471</Dwaufragid><Dwbelegnr>815</Dwbelegnr><Szwaehrung>EUR</Szwaehrung>"
            "<Dblbruttogesamtpreis>-25.00</Dblbruttogesamtpreis><Citicketsges>0</Citicketsges>"
            "<Cdwauftragpos>0</Cdwauftragpos><Pauftragpos></Pauftragpos><Fversandkosten>false</Fversandkosten>"
            "<Gebversandkosten></Gebversandkosten><Fauftragsgebuehr>false</Fauftragsgebuehr>"
            "<Gebauftragsgebuehr></Gebauftragsgebuehr><Fvvkgebuehr>false</Fvvkgebuehr>"
            "<Gebvvkgebuehr></Gebvvkgebuehr><Cdwzusatzgebuehren>0</Cdwzusatzgebuehren>"
            "<Pzusatzgebuehren xsi:nil=\"true\"/><Fticketvers>false</Fticketvers><Gebticketvers></Gebticketvers>"
            "<Dwpoolid>0</Dwpoolid><Dwsubpoolid>0|</Dwsubpoolid></ImAuftrag>");
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

TEST(OrderDocumentTest, RenderingTwiceGivesTheSameText) {
  const Order order = richOrder();
  EXPECT_EQ(renderOrder(order), renderOrder(order));
}

// The currency and the terminal id come from outside; like names they are
// escaped, so they cannot close or open elements.
TEST(OrderDocumentTest, CurrencyAndTerminalIdAreEscaped) {
  unsigned char bytes[24] = {};
  std::memcpy(bytes + 16, "<a>", 4);
  Order order;
  order.fillFromRefund(HostRefundRecord(bytes));
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
