// The library's request templates as stored, and how a template is loaded
// and filled: placeholders bound to the rows of their table, line breaks and
// tabs left out, and a template that does not match its table refused.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/vub_exception.h"
#include "render/request_template.h"
#include "tests/transport/vub_failure.h"

namespace qel {
namespace {

std::string stored(std::int32_t id) { return std::string(TemplateText::bytesOf(id)); }

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every placeholder in `text`, in order of appearance.
std::vector<std::string> placeholders(const std::string& text) {
  std::vector<std::string> names;
  for (auto open = text.find('{'); open != std::string::npos; open = text.find('{', open + 1)) {
    names.push_back(text.substr(open + 1, text.find('}', open) - open - 1));
  }
  return names;
}

TEST(RequestTemplateTest, TemplatesHaveTheirShapeAndPlaceholders) {
  const struct {
    std::int32_t id;
    std::size_t size;  // 0: not fixed
    std::size_t lines;
    std::vector<std::string> placeholders;
  } cases[] = {
      {101, 0, 22, {"auftrag"}},
      {102,
       1000,
       22,
       {"id",
        "belegnummer",
        "waehrung",
        "bruttogesamtpreis",
        "anzahlTickets",
        "anzahlAuftragspositionen",
        "auftragspositionen",
        "hatVersandkosten",
        "versandkosten",
        "hatAuftragsgebuehr",
        "auftragsgebuehr",
        "hatVorverkaufsgebuehr",
        "vorverkaufsgebuehr",
        "anzahlZusatzgebuehren",
        "zusatzgebuehren",
        "hatTicketversicherung",
        "ticketversicherung",
        "poolId",
        "subPoolId",
        "terminalId"}},
      {103,
       411,
       11,
       {"id", "aboauftrag", "ticketspos", "gesamtpreis", "mwstbetrag", "vvksum", "vvkrefsum", "veranstaltungen",
        "ticketinfos"}},
      {104, 200, 6, {"bezeichnung", "summe", "steuersatz", "steuersumme"}},
      {105, 179, 6, {"id", "vvk", "vvkref", "gesamtpreis"}},
      {106, 178, 7, {"id", "vanummer", "von", "bis", "name"}},
  };
  for (const auto& c : cases) {
    const std::string text = stored(c.id);
    if (c.size != 0) {
      EXPECT_EQ(text.size(), c.size) << c.id;
    }
    // CR LF between lines, never a lone LF, no line break at the end.
    EXPECT_EQ(count(text, "\r\n"), c.lines - 1) << c.id;
    EXPECT_EQ(count(text, "\n"), c.lines - 1) << c.id;
    EXPECT_NE(text.back(), '\n') << c.id;
    EXPECT_EQ(placeholders(text), c.placeholders) << c.id;
    // Only the envelope separates attributes by spaces.
    if (c.id != 101) {
      EXPECT_EQ(text.find(' '), std::string::npos) << c.id;
    }
  }
}

TEST(RequestTemplateTest, FeeTemplateIsExact) {
  EXPECT_EQ(stored(104),
            "\t\t\t<item>\r\n"
            "\t\t\t\t<Szbezeichnung>{bezeichnung}</Szbezeichnung>\r\n"
            "\t\t\t\t<Dbsumme>{summe}</Dbsumme>\r\n"
            "\t\t\t\t<Dbsteuersatz>{steuersatz}</Dbsteuersatz>\r\n"
            "\t\t\t\t<Dbsteuersumme>{steuersumme}</Dbsteuersumme>\r\n"
            "\t\t\t</item>");
}

TEST(RequestTemplateTest, EnvelopeDeclaresItsNamespacesInOrder) {
  const std::string text = stored(101);
  const char* prefixes[] = {"SOAP-ENV", "SOAP-ENC", "xsi", "xsd", "ns2",  "ns1",  "ns3", "c14n",
                            "wsu",      "xenc",     "wsc", "ds",  "wsse", "wsa5", "ns4"};
  std::size_t at = text.find("\r\n<SOAP-ENV:Envelope\r\n");
  ASSERT_EQ(text.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 0u);
  ASSERT_NE(at, std::string::npos);
  for (const char* prefix : prefixes) {
    const std::string line = "\r\n xmlns:" + std::string(prefix) + "=\"";
    const std::size_t next = text.find(line, at);
    ASSERT_NE(next, std::string::npos) << prefix;
    EXPECT_GT(next, at) << prefix;
    at = next + 1;
  }
  EXPECT_NE(text.find(" xmlns:ns1=\"urn:sap-com:document:sap:soap:functions:mc-style\"\r\n"), std::string::npos);
  EXPECT_NE(text.find(" xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\"\r\n"), std::string::npos);
  EXPECT_NE(text.find(" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("mc-style/binding_SOAP12\">\r\n\t<SOAP-ENV:Header>\r\n\t</SOAP-ENV:Header>\r\n"
                      "\t<SOAP-ENV:Body><ns1:_-qel_-kasVubWsQuendalSales>{auftrag}"
                      "</ns1:_-qel_-kasVubWsQuendalSales>\r\n\t</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>"),
            std::string::npos);
}

// A test's own table: three keys, each writing one text of the item.
struct Context {};
struct Item {
  std::string id;
  std::string name;
  std::string summe;
};
constexpr Placeholder<Context, Item> kRows[] = {
    {"id", [](TextBuffer& out, const Context&, const Item& item) { out.append(item.id); }},
    {"name", [](TextBuffer& out, const Context&, const Item& item) { out.append(item.name); }},
    {"summe", [](TextBuffer& out, const Context&, const Item& item) { out.append(item.summe); }},
};
constexpr std::int32_t kTestId = 900;

std::string filled(std::string_view bytes, const Item& item) {
  RequestTemplate<Context, Item> t;
  t.read(kTestId, bytes, kRows);
  TextBuffer out;
  out.append("before|");
  t.write(out, Context{}, item);
  t.write(out, Context{}, Item{"2", "", "0"});
  return std::string(out.view());
}

TEST(RequestTemplateTest, MissingTemplateIsNamedWithTheSystemsCode) {
  for (std::int32_t id : {100, 107, -1}) {
    RequestTemplate<Context, Item> t;
    const VubException e = test::vubFailure([&] { t.load(id, kRows); });
    EXPECT_EQ(e.message(), L"Could not find Template with id: " + std::to_wstring(id));
    // ERROR_RESOURCE_NAME_NOT_FOUND, as Windows reports it.
    EXPECT_EQ(e.code(), 1814);
  }
  EXPECT_EQ(TemplateText::bytesOf(0x10000 + 105), TemplateText::bytesOf(105));
}

// Each placeholder, however often it occurs, takes its row's value; values
// are data and never read for placeholders; line breaks and tabs of the
// template go, other bytes stay as they are; every item is written alike.
TEST(RequestTemplateTest, PlaceholdersTakeTheirRowsValues) {
  const struct {
    const char* bytes;
    Item item;
    const char* written;  // after "before|", for the item and then for {"2", "", "0"}
  } cases[] = {
      {"<a>{id}</a>{name}<s>{summe}</s>", {"1", "n", "9.99"}, "<a>1</a>n<s>9.99</s><a>2</a><s>0</s>"},
      {"{summe}{id}{name}{id}", {"1", "", "3"}, "311022"},
      {"\t\t<a>\r\n\t\t\t<b>{id}</b>\r\n{name}\r\n\t{summe}\t</a>",
       {"1", "\r\n", "3"},
       "<a><b>1</b>\r\n3</a><a><b>2</b>0</a>"},
      {"{id}|{name}|{summe}", {"{name}", "{summe}", "{id}{"}, "{name}|{summe}|{id}{2||0"},
      {"\xE4{id}\x7F{name}{summe}\x01",
       {"1", "", ""},
       "\xE4"
       "1\x7F\x01\xE4"
       "2\x7F"
       "0\x01"},
      {"0123456{id}89abcdef{name}0123456789abcde{summe}",
       {"", "", ""},
       "0123456"
       "89abcdef"
       "0123456789abcde"
       "0123456"
       "289abcdef"
       "0123456789abcde0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filled(c.bytes, c.item), std::string("before|") + c.written) << c.bytes;
  }
}

// A template that does not match its table is refused when it is loaded.
TEST(RequestTemplateTest, TemplateThatDoesNotMatchItsTableIsRefused) {
  const struct {
    const char* bytes;
    const wchar_t* message;
  } cases[] = {
      {"{id}{name}{summe}{Id}", L"Unknown placeholder in template 900: {Id}"},
      {"{id}{name}{summe}{}", L"Unknown placeholder in template 900: {}"},
      {"{id}{na\r\nme}{summe}{bezeichnung}", L"Unknown placeholder in template 900: {bezeichnung}"},
      {"{id}{summe}", L"Missing placeholder in template 900: {name}"},
      {"{id}{name}", L"Missing placeholder in template 900: {summe}"},
      {"", L"Missing placeholder in template 900: {id}"},
      {"{id}{name}{summe}}", L"Unbalanced brace in template 900"},
      {"{id}{name}{summe}{", L"Unbalanced brace in template 900"},
      {"{id}{name}{{summe}", L"Unbalanced brace in template 900"},
  };
  for (const auto& c : cases) {
    RequestTemplate<Context, Item> t;
    const VubException e = test::vubFailure([&] { t.read(kTestId, c.bytes, kRows); });
    EXPECT_EQ(e.message(), c.message) << c.bytes;
    EXPECT_EQ(e.code(), 0);
  }
}

}  // namespace
}  // namespace qel
