// The published service contract (docs/kasse.xsd, docs/kasse.wsdl) checked
// against what the library really sends, by an independent validator
// (xmllint): the requests of representative orders, captured on the wire,
// must validate, and requests with a single fault must not, so the schema
// is not vacuous.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <array>
#include <climits>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "boxoffice/host_sale.h"
#include "config/connector_config.h"
#include "order/host_records.h"
#include "order/order.h"
#include "tests/support/server_loopback.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

const std::string kSourceDir = QEL_SOURCE_DIR;
const std::string kKasseXsd = kSourceDir + "/docs/kasse.xsd";
const std::string kKasseWsdl = kSourceDir + "/docs/kasse.wsdl";
// Validates a whole envelope: the SOAP 1.2 frame, and the body's child
// against docs/kasse.xsd, which it imports.
const std::string kEnvelopeXsd = kSourceDir + "/tests/docs/soap12_envelope.xsd";

struct Validation {
  int status = -1;
  std::string output;
};

// Runs xmllint on `path` against `schema`; exit status 0 means valid.
Validation runXmllint(const std::string& schema, const std::string& path) {
  const std::string command =
      std::string(QEL_XMLLINT) + " --noout --nonet --schema '" + schema + "' '" + path + "' 2>&1";
  Validation result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  std::array<char, 512> chunk{};
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

// An answer as the cash register must write it (the library matches the
// prefixes env, and n0 or ns1, literally).
std::string answer(const std::string& prefix, const std::string& exRect) {
  const std::string element = prefix + ":_-qel_-kasVubWsQuendalSalesResponse";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
         "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header/><env:Body><" +
         element + " xmlns:" + prefix + "=\"urn:sap-com:document:sap:soap:functions:mc-style\"><ExRect>" + exRect +
         "</ExRect></" + element + "></env:Body></env:Envelope>";
}

// The request body exactly as it goes over the wire: the library's own
// exchange posts the order to a server on 127.0.0.1, which keeps the bytes.
std::string requestBody(const Order& order) {
  test::LoopbackServer server(test::httpResponse(200, answer("n0", "<Rect>0</Rect><Rectmsg/>")));
  ConnectorConfig config;
  config.url = server.url();
  KasseResponse response;
  KasseExchange(config).transfer(order, response);
  const std::vector<test::ReceivedRequest> requests = server.requests();
  if (requests.size() != 1) throw std::runtime_error("the server did not receive exactly one request");
  return requests.front().body;
}

// Kept in the build tree so that a failure can be looked at, wherever the
// test was started.
std::string writeFile(const std::string& name, const std::string& bytes) {
  const std::string path = std::string(QEL_OUTPUT_DIR) + "/" + name + ".xml";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Order saleOrder(const boxoffice::SaleBytes& bytes, std::int32_t subPoolId, const std::wstring& terminalId) {
  boxoffice::HostSale sale(bytes);
  Order order;
  order.setSubPoolId(subPoolId);
  order.setTerminalId(terminalId);
  order.fillFromHostOrder(HostOrderRecord(sale.record()));
  return order;
}

Order refundOrder(std::int32_t id, std::int32_t belegnummer, double total, const std::string& currency) {
  const boxoffice::RefundRecord record = boxoffice::hostRefund({belegnummer, total, currency, id});
  Order order;
  order.fillFromRefund(HostRefundRecord(record.data()));
  return order;
}

boxoffice::FeeBytes fixedFee(double summe, double steuersatz) { return {1, "EUR", summe, steuersatz}; }

boxoffice::PositionBytes position(std::int32_t id, std::size_t tickets, const std::string& eventName) {
  boxoffice::PositionBytes p;
  p.id = id;
  p.aboauftrag = id % 2 == 0 ? 1 : 0;
  p.gesamtpreis = 25.5 * static_cast<double>(tickets);
  p.mwstbetrag = 4.07 * static_cast<double>(tickets);
  p.vvksum = 2.0 * static_cast<double>(tickets);
  p.vvkrefsum = 0.0;
  p.event = {100 + id, 4711, id, 1700000000, 1700007200, eventName};
  for (std::size_t k = 0; k < tickets; ++k) {
    p.tickets.push_back({id * 100 + static_cast<std::int32_t>(k), 2.0, 0.5, 25.5});
  }
  return p;
}

boxoffice::SaleBytes richSale() {
  boxoffice::SaleBytes sale;
  sale.id = 471;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 153.95;
  sale.poolId = 3;
  sale.positions = {position(1, 2, "Zauberfl\xF6te"), position(2, 0, "Lesung"), position(3, 3, "Konzert")};
  sale.versandkosten = fixedFee(5.95, 19.0);
  sale.auftragsgebuehr = fixedFee(119.0, 19.0);
  sale.zusatzgebuehren = {{"Garderobe", "EUR", 2.355, 19.0}, {"Programmheft", "EUR", 3.0, 7.0}};
  return sale;
}

struct RequestCase {
  const char* name;
  Order (*order)();
};

const RequestCase kRequests[] = {
    {"rich_sale", [] { return saleOrder(richSale(), 12, L"16213"); }},
    {"refund", [] { return refundOrder(471, 815, -25.0, "EUR"); }},
    {"refund_without_currency", [] { return refundOrder(-1, 0, -0.001, ""); }},
    {"escaped_text",
     [] {
       boxoffice::SaleBytes sale = richSale();
       sale.positions = {position(1, 1, "A&B <\"live\"> 'open air'\t\r\n\x01{name}\xE4\xF6\xFC\xDF\x80")};
       sale.zusatzgebuehren = {{"<&>\"'{summe}", "E&R", 1.0, 19.0}, {"\x1F\x7F\xA0", "", 0.0, 0.0}};
       return saleOrder(sale, 0, L"12</Dwsubpoolid>|&amp;\u00e4\U0001F600");
     }},
    {"no_fees",
     [] {
       boxoffice::SaleBytes sale;
       sale.id = 1;
       sale.belegnummer = 2;
       sale.bruttogesamtpreis = 25.5;
       sale.positions = {position(1, 1, "")};
       // A flag other than 1 leaves a fee absent.
       sale.vorverkaufsgebuehr = {2, "EUR", 9.0, 19.0};
       return saleOrder(sale, 0, L"16213");
     }},
    {"all_fees",
     [] {
       boxoffice::SaleBytes sale = richSale();
       sale.ticketversicherung = fixedFee(3.0, 19.0);
       sale.vorverkaufsgebuehr = fixedFee(0.125, 0.0);
       sale.zusatzgebuehren.push_back({"Parken", "EUR", -4.0, 19.0});
       return saleOrder(sale, -3, L"Kasse 3");
     }},
    {"without_positions",
     [] {
       boxoffice::SaleBytes sale;
       sale.id = 9;
       sale.bruttogesamtpreis = 0.0;
       return saleOrder(sale, 0, L"");
     }},
    {"extreme_numbers",
     [] {
       boxoffice::SaleBytes sale;
       sale.id = INT_MIN;
       sale.belegnummer = INT_MAX;
       sale.bruttogesamtpreis = 1e15;
       sale.poolId = -1;
       // The header's ticket count is the host's count of the first
       // position, which may be negative; that position then has no tickets.
       boxoffice::PositionBytes empty = position(8, 0, "");
       empty.ticketCount = -2;
       boxoffice::PositionBytes p = position(-7, 2, "x");
       p.gesamtpreis = -2.355;
       p.mwstbetrag = -0.0;
       p.event.vanummer = INT_MIN;
       p.event.vanummerZusatz = -5;
       p.event.von = -1;
       p.tickets[0].id = INT_MAX;
       p.tickets[0].vvkref = 1e-9;
       sale.positions = {empty, p};
       sale.zusatzgebuehren = {{"a", "EUR", 1.005, 99.995}};
       return saleOrder(sale, INT_MAX, L" ");
     }},
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class RequestSchemaTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestSchemaTest, RequestValidates) {
  const std::string body = requestBody(GetParam().order());
  const std::string path = writeFile(GetParam().name, body);
  const Validation result = runXmllint(kEnvelopeXsd, path);
  EXPECT_EQ(result.status, 0) << result.output << "\n" << body;
}

INSTANTIATE_TEST_SUITE_P(Orders, RequestSchemaTest, ::testing::ValuesIn(kRequests),
                         [](const auto& info) { return std::string(info.param.name); });

// One fault each, applied to the rich sale's request: the schema must see it.
struct Fault {
  const char* name;
  const char* from;
  const char* to;
  bool onRefund = false;  // applied to the refund's request instead
};

const Fault kFaults[] = {
    {"decimal_comma", "<Dblbruttogesamtpreis>153.95<", "<Dblbruttogesamtpreis>153,95<"},
    {"one_decimal", "<Dblbruttogesamtpreis>153.95<", "<Dblbruttogesamtpreis>153.9<"},
    {"exponent", "<Dblbruttogesamtpreis>153.95<", "<Dblbruttogesamtpreis>1.5395E2<"},
    {"numeric_flag", "<Fversandkosten>true<", "<Fversandkosten>1<"},
    {"text_id", "<Dwaufragid>471<", "<Dwaufragid>A471<"},
    {"leading_zero", "<Dwbelegnr>815<", "<Dwbelegnr>0815<"},
    {"plus_sign", "<Dwbelegnr>815<", "<Dwbelegnr>+815<"},
    {"id_beyond_32_bits", "<Dwaufragid>471<", "<Dwaufragid>4294967767<"},
    {"negative_count", "<Cdwauftragpos>3<", "<Cdwauftragpos>-3<"},
    {"missing_element", "<Dwpoolid>3</Dwpoolid>", ""},
    {"elements_swapped", "<Dwaufragid>471</Dwaufragid><Dwbelegnr>815</Dwbelegnr>",
     "<Dwbelegnr>815</Dwbelegnr><Dwaufragid>471</Dwaufragid>"},
    {"misspelt_name", "<Dwaufragid>471</Dwaufragid>", "<Dwauftragid>471</Dwauftragid>"},
    {"qualified_child", "<ImAuftrag>", "<ImAuftrag xmlns=\"urn:sap-com:document:sap:soap:functions:mc-style\">"},
    {"operation_in_other_namespace", "xmlns:ns1=\"urn:sap-com:document:sap:soap:functions:mc-style\"",
     "xmlns:ns1=\"urn:sap-com:document:sap:soap:functions\""},
    {"vanummer_without_bar", "<Dwvanummer>4711|1<", "<Dwvanummer>4711<"},
    {"subpoolid_without_bar", "<Dwsubpoolid>12|16213<", "<Dwsubpoolid>12<"},
    {"two_events", "</Szname></item></Vavainfo>",
     "</Szname></item><item><Dwvaid>1</Dwvaid><Dwvanummer>1|1</Dwvanummer><Tvadatum>0</Tvadatum>"
     "<Tvabis>0</Tvabis><Szname/></item></Vavainfo>"},
    {"two_fixed_fees", "</Dbsteuersumme></item></Gebversandkosten>",
     "</Dbsteuersumme></item><item><Szbezeichnung/><Dbsumme>1.00</Dbsumme><Dbsteuersatz>1.00</Dbsteuersatz>"
     "<Dbsteuersumme>1.00</Dbsteuersumme></item></Gebversandkosten>"},
    {"empty_additional_fees_not_nil", "<Pzusatzgebuehren xsi:nil=\"true\"/>", "<Pzusatzgebuehren/>", true},
    {"nil_on_other_element", "<Gebversandkosten></Gebversandkosten>", "<Gebversandkosten xsi:nil=\"true\"/>", true},
    {"negative_zero_count", "<Cdwauftragpos>0<", "<Cdwauftragpos>-0<", true},
    {"nil_with_content", "<Pzusatzgebuehren>", "<Pzusatzgebuehren xsi:nil=\"true\">"},
    {"amount_with_text", "<Dbsumme>5.95<", "<Dbsumme>5.95 EUR<"},
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class RequestFaultTest : public ::testing::TestWithParam<Fault> {};

TEST_P(RequestFaultTest, FaultIsRejected) {
  std::string body = GetParam().onRefund ? requestBody(refundOrder(471, 815, -25.0, "EUR"))
                                         : requestBody(saleOrder(richSale(), 12, L"16213"));
  const std::size_t at = body.find(GetParam().from);
  ASSERT_NE(at, std::string::npos) << GetParam().from << " not in\n" << body;
  body.replace(at, std::string(GetParam().from).size(), GetParam().to);
  const std::string path = writeFile(std::string("fault_") + GetParam().name, body);
  const Validation result = runXmllint(kEnvelopeXsd, path);
  // 3 is xmllint's exit status for a well-formed but invalid document; any
  // other failure means the mutation or the validator went wrong.
  EXPECT_EQ(result.status, 3) << result.output << "\n" << body;
}

INSTANTIATE_TEST_SUITE_P(Faults, RequestFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
  const char* name;
  std::string text;
  bool valid;
};

TEST(AnswerSchema, AnswersValidateAndFaultsDoNot) {
  const std::vector<AnswerCase> cases = {
      {"accepted_n0", answer("n0", "<Rect>0</Rect><Rectmsg>OK</Rectmsg>"), true},
      {"accepted_ns1", answer("ns1", "<Rect>0</Rect><Rectmsg/>"), true},
      {"refused_utf8", answer("n0", "<Rect>4</Rect><Rectmsg>Ung\xC3\xBCltige Belegnummer</Rectmsg>"), true},
      {"without_rectmsg", answer("n0", "<Rect>-1</Rect>"), true},
      {"text_rect", answer("n0", "<Rect>abc</Rect><Rectmsg/>"), false},
      {"without_rect", answer("n0", "<Rectmsg>x</Rectmsg>"), false},
  };
  for (const AnswerCase& c : cases) {
    const std::string path = writeFile(std::string("answer_") + c.name, c.text);
    const Validation result = runXmllint(kEnvelopeXsd, path);
    EXPECT_EQ(result.status == 0, c.valid) << c.name << ": " << result.output;
  }
}

// The schema alone, as a cash-register team would load it, is a valid XML
// Schema: validating the bare operation element against it succeeds.
TEST(ServiceContract, SchemaLoadsOnItsOwn) {
  const std::string body = requestBody(refundOrder(1, 2, -3.0, "EUR"));
  const std::string begin = "<ns1:_-qel_-kasVubWsQuendalSales>";
  const std::string end = "</ns1:_-qel_-kasVubWsQuendalSales>";
  const std::size_t first = body.find(begin);
  const std::size_t last = body.find(end);
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(last, std::string::npos);
  const std::string operation =
      "<ns1:_-qel_-kasVubWsQuendalSales xmlns:ns1=\"urn:sap-com:document:sap:soap:functions:mc-style\""
      " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">" +
      body.substr(first + begin.size(), last - first - begin.size()) + end;
  const Validation result = runXmllint(kKasseXsd, writeFile("operation_only", operation));
  EXPECT_EQ(result.status, 0) << result.output;
}

// Every message part of the WSDL names an element that the schema declares,
// and the WSDL includes the schema by its file name beside it.
TEST(ServiceContract, WsdlRefersToDeclaredElements) {
  tinyxml2::XMLDocument xsd;
  ASSERT_EQ(xsd.LoadFile(kKasseXsd.c_str()), tinyxml2::XML_SUCCESS);
  std::set<std::string> declared;
  for (const auto* e = xsd.RootElement()->FirstChildElement("xs:element"); e != nullptr;
       e = e->NextSiblingElement("xs:element")) {
    declared.insert(e->Attribute("name"));
  }

  tinyxml2::XMLDocument wsdl;
  ASSERT_EQ(wsdl.LoadFile(kKasseWsdl.c_str()), tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* root = wsdl.RootElement();
  const auto* include =
      root->FirstChildElement("wsdl:types")->FirstChildElement("xsd:schema")->FirstChildElement("xsd:include");
  ASSERT_NE(include, nullptr);
  EXPECT_STREQ(include->Attribute("schemaLocation"), "kasse.xsd");

  int parts = 0;
  for (const auto* m = root->FirstChildElement("wsdl:message"); m != nullptr;
       m = m->NextSiblingElement("wsdl:message")) {
    for (const auto* p = m->FirstChildElement("wsdl:part"); p != nullptr; p = p->NextSiblingElement("wsdl:part")) {
      const std::string element = p->Attribute("element");
      ASSERT_EQ(element.rfind("tns:", 0), 0u) << element;
      EXPECT_EQ(declared.count(element.substr(4)), 1u) << element;
      ++parts;
    }
  }
  EXPECT_EQ(parts, 2);
  EXPECT_EQ(declared, (std::set<std::string>{"_-qel_-kasVubWsQuendalSales", "_-qel_-kasVubWsQuendalSalesResponse"}));
}

}  // namespace
}  // namespace qel
