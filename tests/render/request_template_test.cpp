// Loading the request templates and filling their placeholders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/vub_exception.h"
#include "render/request_template.h"

namespace qel {
namespace {

std::wstring loaded(std::int32_t id) {
  RequestTemplate t;
  t.load(id);
  return t.text();
}

std::size_t count(const std::wstring& text, const std::wstring& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every placeholder in `text`, in order of appearance.
std::vector<std::wstring> placeholders(const std::wstring& text) {
  std::vector<std::wstring> names;
  for (auto open = text.find(L'{'); open != std::wstring::npos; open = text.find(L'{', open + 1)) {
    names.push_back(text.substr(open + 1, text.find(L'}', open) - open - 1));
  }
  return names;
}

TEST(RequestTemplateTest, TemplatesHaveTheirShapeAndPlaceholders) {
  const struct {
    std::int32_t id;
    std::size_t size;  // 0: not fixed
    std::size_t lines;
    std::vector<std::wstring> placeholders;
  } cases[] = {
      {101, 0, 22, {L"auftrag"}},
      {102, 1000, 22, {L"id", L"belegnummer", L"waehrung", L"bruttogesamtpreis", L"anzahlTickets",
                       L"anzahlAuftragspositionen", L"auftragspositionen", L"hatVersandkosten", L"versandkosten",
                       L"hatAuftragsgebuehr", L"auftragsgebuehr", L"hatVorverkaufsgebuehr", L"vorverkaufsgebuehr",
                       L"anzahlZusatzgebuehren", L"zusatzgebuehren", L"hatTicketversicherung",
                       L"ticketversicherung", L"poolId", L"subPoolId", L"terminalId"}},
      {103, 411, 11, {L"id", L"aboauftrag", L"ticketspos", L"gesamtpreis", L"mwstbetrag", L"vvksum", L"vvkrefsum",
                      L"veranstaltungen", L"ticketinfos"}},
      {104, 200, 6, {L"bezeichnung", L"summe", L"steuersatz", L"steuersumme"}},
      {105, 179, 6, {L"id", L"vvk", L"vvkref", L"gesamtpreis"}},
      {106, 178, 7, {L"id", L"vanummer", L"von", L"bis", L"name"}},
  };
  for (const auto& c : cases) {
    const std::wstring text = loaded(c.id);
    if (c.size != 0) {
      EXPECT_EQ(text.size(), c.size) << c.id;
    }
    // CR LF between lines, never a lone LF, no line break at the end.
    EXPECT_EQ(count(text, L"\r\n"), c.lines - 1) << c.id;
    EXPECT_EQ(count(text, L"\n"), c.lines - 1) << c.id;
    EXPECT_NE(text.back(), L'\n') << c.id;
    EXPECT_EQ(placeholders(text), c.placeholders) << c.id;
    // Only the envelope separates attributes by spaces.
    if (c.id != 101) {
      EXPECT_EQ(text.find(L' '), std::wstring::npos) << c.id;
    }
    for (wchar_t ch : text) EXPECT_LT(static_cast<unsigned>(ch), 0x80u) << c.id;
  }
}

TEST(RequestTemplateTest, FeeTemplateIsExact) {
  EXPECT_EQ(loaded(104),
            L"\t\t\t<item>\r\n"
            L"\t\t\t\t<Szbezeichnung>{bezeichnung}</Szbezeichnung>\r\n"
            L"\t\t\t\t<Dbsumme>{summe}</Dbsumme>\r\n"
            L"\t\t\t\t<Dbsteuersatz>{steuersatz}</Dbsteuersatz>\r\n"
            L"\t\t\t\t<Dbsteuersumme>{steuersumme}</Dbsteuersumme>\r\n"
            L"\t\t\t</item>");
}

TEST(RequestTemplateTest, EnvelopeDeclaresItsNamespacesInOrder) {
  const std::wstring text = loaded(101);
  const wchar_t* prefixes[] = {L"SOAP-ENV", L"SOAP-ENC", L"xsi", L"xsd", L"ns2", L"ns1", L"ns3", L"c14n",
                               L"wsu",      L"xenc",     L"wsc", L"ds",  L"wsse", L"wsa5", L"ns4"};
  std::size_t at = text.find(L"\r\n<SOAP-ENV:Envelope\r\n");
  ASSERT_EQ(text.find(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 0u);
  ASSERT_NE(at, std::wstring::npos);
  for (const wchar_t* prefix : prefixes) {
    const std::wstring line = L"\r\n xmlns:" + std::wstring(prefix) + L"=\"";
    const std::size_t next = text.find(line, at);
    ASSERT_NE(next, std::wstring::npos) << prefix;
    EXPECT_GT(next, at) << prefix;
    at = next + 1;
  }
  EXPECT_NE(text.find(L" xmlns:ns1=\"urn:sap-com:document:sap:soap:functions:mc-style\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L" xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"mc-style/binding_SOAP12\">\r\n\t<SOAP-ENV:Header>\r\n\t</SOAP-ENV:Header>\r\n"
                      L"\t<SOAP-ENV:Body><ns1:_-qel_-kasVubWsQuendalSales>{auftrag}"
                      L"</ns1:_-qel_-kasVubWsQuendalSales>\r\n\t</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>"),
            std::wstring::npos);
}

TEST(RequestTemplateTest, MissingTemplateRaisesAndKeepsTheText) {
  for (std::int32_t id : {100, 107, -1}) {
    RequestTemplate t;
    t.load(104);
    try {
      t.load(id);
      ADD_FAILURE() << "no exception for " << id;
    } catch (const VubException& e) {
      EXPECT_EQ(e.message(), L"Could not find Template with id: " + std::to_wstring(id));
      // ERROR_RESOURCE_NAME_NOT_FOUND, as Windows reports it.
      EXPECT_EQ(e.code(), 1814);
    }
    EXPECT_EQ(t.text(), loaded(104));
  }
}

TEST(RequestTemplateTest, OnlyTheLowSixteenBitsNameTheTemplate) {
  EXPECT_EQ(loaded(0x10000 + 105), loaded(105));
}

TEST(RequestTemplateTest, FreshTemplateIsEmpty) { EXPECT_EQ(RequestTemplate().text(), L""); }

TEST(RequestTemplateTest, SetReplacesOnlyItsExactPlaceholder) {
  RequestTemplate position;
  position.load(103);
  position.set(L"Id", L"9");  // names are case-sensitive
  EXPECT_EQ(position.text(), loaded(103));
  position.set(L"id", L"42");
  std::wstring expected = loaded(103);
  expected.replace(expected.find(L"{id}"), 4, L"42");
  EXPECT_EQ(position.text(), expected);
  // The placeholder is gone; a second value has nowhere to go.
  position.set(L"id", L"43");
  EXPECT_EQ(position.text(), expected);

  RequestTemplate fee;
  fee.load(104);
  fee.set(L"summe", L"1.00");
  fee.set(L"waehrung", L"EUR");  // not in this template
  const std::wstring text = fee.text();
  EXPECT_NE(text.find(L"<Dbsumme>1.00</Dbsumme>"), std::wstring::npos);
  EXPECT_NE(text.find(L"{steuersumme}"), std::wstring::npos);
  EXPECT_EQ(text.size(), 200u - 7 + 4);
}

TEST(RequestTemplateTest, EmptyValueRemovesThePlaceholder) {
  RequestTemplate event;
  event.load(106);
  event.set(L"name", L"");
  EXPECT_NE(event.text().find(L"<Szname></Szname>"), std::wstring::npos);
}

// A value is data: it is never searched for placeholders, neither by the
// same key nor by keys set later.
TEST(RequestTemplateTest, ValuesAreNeverScannedForPlaceholders) {
  RequestTemplate event;
  event.load(106);
  event.set(L"name", L"{name}");
  event.set(L"name", L"again");
  EXPECT_NE(event.text().find(L"<Szname>{name}</Szname>"), std::wstring::npos);

  RequestTemplate fee;
  fee.load(104);
  fee.set(L"bezeichnung", L"{summe}{steuersatz}");
  fee.set(L"summe", L"5.95");
  fee.set(L"steuersatz", L"19.00");
  const std::wstring text = fee.text();
  EXPECT_NE(text.find(L"<Szbezeichnung>{summe}{steuersatz}</Szbezeichnung>"), std::wstring::npos);
  EXPECT_NE(text.find(L"<Dbsumme>5.95</Dbsumme>"), std::wstring::npos);
  EXPECT_NE(text.find(L"<Dbsteuersatz>19.00</Dbsteuersatz>"), std::wstring::npos);
}

TEST(RequestTemplateTest, TemplateTextAroundValuesIsStillFilled) {
  RequestTemplate order;
  order.load(102);
  order.set(L"terminalId", L"{subPoolId}");
  order.set(L"subPoolId", L"3");
  EXPECT_NE(order.text().find(L"<Dwsubpoolid>3|{subPoolId}</Dwsubpoolid>"), std::wstring::npos);
}

TEST(RequestTemplateTest, JoinedPartsAreInsertedInOrder) {
  RequestTemplate position;
  position.load(103);
  position.setJoined(L"nothere", {L"x", L"y"});
  position.setJoined(L"ticketinfos", {L"<a/>", L"", L"{id}", L"<b/>"});
  position.setJoined(L"veranstaltungen", {});
  position.set(L"id", L"7");
  const std::wstring text = position.text();
  EXPECT_NE(text.find(L"<Pticketinfos><a/>{id}<b/></Pticketinfos>"), std::wstring::npos);
  EXPECT_NE(text.find(L"<Vavainfo></Vavainfo>"), std::wstring::npos);
  EXPECT_NE(text.find(L"<Dwposid>7</Dwposid>"), std::wstring::npos);
  EXPECT_EQ(text.find(L'x'), std::wstring::npos);
}

// Copies of a loaded template are filled independently of each other.
TEST(RequestTemplateTest, CopiesAreIndependent) {
  RequestTemplate original;
  original.load(105);
  RequestTemplate first = original;
  RequestTemplate second = original;
  first.set(L"id", L"1");
  second.set(L"id", L"2");
  EXPECT_NE(first.text().find(L"<Dwticketid>1</Dwticketid>"), std::wstring::npos);
  EXPECT_NE(second.text().find(L"<Dwticketid>2</Dwticketid>"), std::wstring::npos);
  EXPECT_EQ(original.text(), loaded(105));
}

}  // namespace
}  // namespace qel
