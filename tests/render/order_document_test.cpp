// The order document as a transfer sends it, inside the envelope: whole
// documents from host records, fees, event numbers, free text, and the
// guarantee that free text cannot change the document's structure.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>

#include "boxoffice/host_sale.h"
#include "order/host_records.h"
#include "order/order.h"
#include "platform/platform.h"
#include "render/template_text.h"
#include "tests/render/golden_documents.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

using boxoffice::HostSale;
using boxoffice::SaleBytes;
using test::richSale;

constexpr char kAuftrag[] = "{auftrag}";

std::string envelopeOf(const Order& order) { return std::string(buildEnvelope(order).view()); }

// The order document inside `envelope`, which must be template 101 without
// its line breaks and tabs around it.
std::string documentOf(const std::string& envelope) {
  std::string frame;
  for (const char c : TemplateText::bytesOf(101)) {
    if (c != '\r' && c != '\n' && c != '\t') frame += c;
  }
  const std::size_t at = frame.find(kAuftrag);
  const std::string before = frame.substr(0, at);
  const std::string after = frame.substr(at + sizeof kAuftrag - 1);
  if (envelope.size() < before.size() + after.size() || envelope.compare(0, before.size(), before) != 0 ||
      envelope.compare(envelope.size() - after.size(), after.size(), after) != 0) {
    ADD_FAILURE() << "not inside the envelope: " << envelope;
    return {};
  }
  return envelope.substr(before.size(), envelope.size() - before.size() - after.size());
}

std::string documentOf(const SaleBytes& bytes) {
  const HostSale sale(bytes);
  Order order;
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return documentOf(envelopeOf(order));
}

// The text between the first `open` and the `close` after it.
std::string between(const std::string& text, const std::string& open, const std::string& close) {
  const std::size_t begin = text.find(open);
  if (begin == std::string::npos) return "<" + open + " missing>";
  const std::size_t end = text.find(close, begin + open.size());
  return text.substr(begin + open.size(), end - begin - open.size());
}

Order richOrder() {
  const HostSale sale(richSale());
  Order order;
  order.setSubPoolId(test::kRichSaleSubPoolId);
  order.setTerminalId(platform::utf8ToWide(test::kRichSaleTerminalId));
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return order;
}

Order refundOrder() {
  const auto bytes = test::refundExample();
  Order order;
  order.fillFromRefund(HostRefundRecord(bytes.data()));
  return order;
}

TEST(OrderDocumentTest, GoldenDocuments) {
  EXPECT_EQ(documentOf(envelopeOf(richOrder())), test::kRichSaleDocument);
  EXPECT_EQ(documentOf(envelopeOf(refundOrder())), test::kRefundDocument);
}

TEST(OrderDocumentTest, FeeItems) {
  const struct {
    double summe;
    double steuersatz;
    const char* item;
  } cases[] = {
      {5.95, 19.0, "<Dbsumme>5.95</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>5.90"},
      {119.0, 19.0, "<Dbsumme>119.00</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>118.00"},
      {3.0, 19.0, "<Dbsumme>3.00</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.97"},
      {2.355, 19.0, "<Dbsumme>2.36</Dbsumme><Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.34"},
      {-5.95, 7.005, "<Dbsumme>-5.95</Dbsumme><Dbsteuersatz>7.01</Dbsteuersatz><Dbsteuersumme>-5.89"},
  };
  for (const auto& c : cases) {
    SaleBytes bytes;
    bytes.zusatzgebuehren = {{"EUR", "EUR", c.summe, c.steuersatz}};
    EXPECT_EQ(between(documentOf(bytes), "<Pzusatzgebuehren>", "</Pzusatzgebuehren>"),
              std::string("<item><Szbezeichnung>EUR</Szbezeichnung>") + c.item + "</Dbsteuersumme></item>");
  }
}

TEST(OrderDocumentTest, EventNumbers) {
  const struct {
    std::int32_t vanummer;
    std::int32_t zusatz;
    const char* text;
  } cases[] = {{123, 5, "123|5"}, {0, 0, "0|0"}, {-1, 2147483647, "-1|2147483647"}};
  for (const auto& c : cases) {
    SaleBytes bytes;
    bytes.positions.resize(1);
    bytes.positions[0].event.vanummer = c.vanummer;
    bytes.positions[0].event.vanummerZusatz = c.zusatz;
    EXPECT_EQ(between(documentOf(bytes), "<Dwvanummer>", "</Dwvanummer>"), c.text);
  }
}

// A template is loaded once and written for every item of its kind: each
// item must come out as if it were the only one.
TEST(OrderDocumentTest, RepeatedItemsAreWrittenAlike) {
  SaleBytes bytes = richSale();
  const std::string positions = between(documentOf(bytes), "<Pauftragpos>", "</Pauftragpos>");
  const std::string fees = between(documentOf(bytes), "<Pzusatzgebuehren>", "</Pzusatzgebuehren>");
  const auto twoPositions = bytes.positions;
  const auto twoFees = bytes.zusatzgebuehren;
  for (int i = 0; i < 3; ++i) {
    bytes.positions.insert(bytes.positions.end(), twoPositions.begin(), twoPositions.end());
    bytes.zusatzgebuehren.insert(bytes.zusatzgebuehren.end(), twoFees.begin(), twoFees.end());
  }
  const std::string document = documentOf(bytes);
  EXPECT_EQ(between(document, "<Pauftragpos>", "</Pauftragpos>"), positions + positions + positions + positions);
  EXPECT_EQ(between(document, "<Pzusatzgebuehren>", "</Pzusatzgebuehren>"), fees + fees + fees + fees);
}

TEST(OrderDocumentTest, RenderingTwiceGivesTheSameBytes) {
  const Order order = richOrder();
  EXPECT_EQ(envelopeOf(order), envelopeOf(order));
}

// Free text (the terminal id here; currency and names take the same way) is
// escaped, loses what XML 1.0 cannot carry and, like the whole request, its
// line breaks and tabs.
TEST(OrderDocumentTest, FreeTextIsEscapedAndOnOneLine) {
  const auto w = [](std::initializer_list<std::uint32_t> units) {
    std::wstring s;
    for (std::uint32_t u : units) s += static_cast<wchar_t>(u);
    return s;
  };
  const std::wstring grin = platform::utf8ToWide("\xF0\x9F\x98\x80");
  const struct {
    std::wstring text;
    std::string written;
  } cases[] = {
      {L"", ""},
      {L"EUR", "EUR"},
      {L"Gro\u00DFe \u00D6ffnung",
       "Gro\xC3\x9F"
       "e \xC3\x96"
       "ffnung"},
      {L"A & 'B' <c> \u00F6", "A &amp; &apos;B&apos; &lt;c&gt; \xC3\xB6"},
      {L"\"Quote\"", "&quot;Quote&quot;"},
      {L"&lt;&amp;", "&amp;lt;&amp;amp;"},
      {L"{summe}", "{summe}"},
      {L"12</Dwsubpoolid>", "12&lt;/Dwsubpoolid&gt;"},
      {L"a\tb\nc\rd\r\n\te", "abcde"},
      {w({'a', 0x00, 'b'}), "ab"},
      {w({0x01, 'a', 0x08, 0x0B, 0x0C, 0x1F, 0x7F}), "a\x7F"},
      {w({'x', 0xFFFE, 0xFFFF, 0xFFFD, 0xE000, 0xD7FF}), "x\xEF\xBF\xBD\xEE\x80\x80\xED\x9F\xBF"},
      // Unpaired surrogates: a high one at the end, a low one alone, a high
      // one before something that is not a low surrogate, two highs.
      {w({'a', 0xD800}), "a"},
      {w({0xDC00, 'b'}), "b"},
      {w({0xD83D, '<'}), "&lt;"},
      {w({0xD800, 0xDBFF, 'c'}), "c"},
      // A character beyond U+FFFF, however wide strings hold it, stays whole.
      {L"<" + grin + L">", "&lt;\xF0\x9F\x98\x80&gt;"},
  };
  for (const auto& c : cases) {
    Order order = refundOrder();
    order.setTerminalId(c.text);
    EXPECT_EQ(between(documentOf(envelopeOf(order)), "<Dwsubpoolid>0|", "</Dwsubpoolid>"), c.written) << c.written;
  }
  // Only 32-bit wide strings can hold a value beyond U+10FFFF; there it is
  // dropped like any other character that is not one.
  if (sizeof(wchar_t) == 4) {
    Order order = refundOrder();
    order.setTerminalId(w({'a', 0x110000, 0x7FFFFFFF, 'b'}));
    EXPECT_EQ(between(documentOf(envelopeOf(order)), "<Dwsubpoolid>0|", "</Dwsubpoolid>"), "ab");
  }
}

// The request must stay well-formed XML whatever the free text holds, and
// carry that text back unchanged.
TEST(OrderDocumentTest, EnvelopeStaysWellFormedWhateverTheTextHolds) {
  SaleBytes bytes = richSale();
  bytes.positions[1].event.name =
      "A\x01"
      "B\x1F"
      "C </Szname></item>";
  const HostSale sale(bytes);
  Order order;
  order.setTerminalId(L"12</Dwsubpoolid><Dwpoolid>9</Dwpoolid>");
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  const std::string request = envelopeOf(order);

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
