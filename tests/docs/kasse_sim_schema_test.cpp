// kasse-sim judges every request by the service contract as well: requests
// that its own element-by-element check lets through but docs/kasse.xsd
// forbids get a SOAP 1.2 Fault, and the library's own requests pass.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "boxoffice/host_sale.h"
#include "config/connector_config.h"
#include "kit/child_process.h"
#include "order/host_records.h"
#include "order/order.h"
#include "tests/support/scratch_dir.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

const char kSoapContentType[] = "application/soap+xml";
const char kPath[] = "/sap/kasse";

// kasse-sim on a free port, recording into `recordDir`; stopped by SIGTERM
// when the owner goes away.
class Simulator {
 public:
  explicit Simulator(const std::filesystem::path& recordDir)
      : output_((recordDir.parent_path() / "kasse-sim.out").string()),
        process_(QEL_KASSE_SIM, {"--port", "0", "--record", recordDir.string()}, output_) {
    // The first line of the output is the port.
    const std::string line = process_.firstLine(output_);
    port_ = line.empty() ? 0 : std::stoi(line);
    if (port_ <= 0) throw std::runtime_error("kasse-sim printed no port");
  }
  ~Simulator() { process_.stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  int port() const { return port_; }

 private:
  std::string output_;
  kit::ChildProcess process_;
  int port_ = 0;
};

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Order richSale() {
  boxoffice::SaleBytes sale;
  sale.id = 471;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 119.5;
  sale.poolId = 3;
  boxoffice::PositionBytes position;
  position.id = 1;
  position.gesamtpreis = 59.75;
  position.event = boxoffice::EventBytes{77, 123, 5, 20240501, 20240502, "Konzert"};
  position.tickets = {boxoffice::TicketBytes{9001, 1.5, 0.25, 29.875}};
  sale.positions = {position};
  sale.versandkosten = boxoffice::FeeBytes{1, "EUR", 3.0, 19.0};
  sale.zusatzgebuehren = {boxoffice::AdditionalFeeBytes{"Garderobe", "EUR", 1.0, 19.0}};
  const boxoffice::HostSale host(sale);
  Order order;
  order.fillFromHostOrder(HostOrderRecord(host.record()));
  order.setTerminalId(L"K1");
  return order;
}

class KasseSimSchemaTest : public ::testing::Test {
 protected:
  // One simulator for the suite; the library's own requests for a rich sale
  // and for an empty order are sent to it once, and must be accepted, and
  // their recorded bodies are the bases that the cases below spoil.
  static void SetUpTestSuite() {
    scratch_ = std::make_unique<test::ScratchDir>();
    simulator_ = std::make_unique<Simulator>(scratch_->path() / "record");
    richBody_ = new std::string(sendThroughLibrary(richSale(), 1));
    emptyBody_ = new std::string(sendThroughLibrary(Order(), 2));
  }
  static void TearDownTestSuite() {
    delete richBody_;
    delete emptyBody_;
    simulator_.reset();
    scratch_.reset();
  }

  // Transfers `order` with the library's exchange, which throws unless the
  // simulator answers 200 with Rect 0; returns the body it recorded.
  static std::string sendThroughLibrary(const Order& order, int number) {
    ConnectorConfig config;
    config.url = L"http://127.0.0.1:" + std::to_wstring(simulator_->port()) + L"/sap/kasse";
    KasseResponse response;
    KasseExchange(config).transfer(order, response);
    char name[32];
    std::snprintf(name, sizeof name, "%06d-body.xml", number);
    return readFile(scratch_->path() / "record" / name);
  }

  static httplib::Result post(const std::string& body) {
    httplib::Client client("127.0.0.1", simulator_->port());
    return client.Post(kPath, body, kSoapContentType);
  }

  static std::unique_ptr<test::ScratchDir> scratch_;
  static std::unique_ptr<Simulator> simulator_;
  static std::string* richBody_;
  static std::string* emptyBody_;
};

std::unique_ptr<test::ScratchDir> KasseSimSchemaTest::scratch_;
std::unique_ptr<Simulator> KasseSimSchemaTest::simulator_;
std::string* KasseSimSchemaTest::richBody_ = nullptr;
std::string* KasseSimSchemaTest::emptyBody_ = nullptr;

// Replaces the first `from` in `body` by `to`; fails when there is none, so
// that a changed rendering cannot leave a case testing nothing.
std::string spoiled(const std::string& body, const std::string& from, const std::string& to) {
  const std::size_t at = body.find(from);
  if (at == std::string::npos) throw std::runtime_error("the request holds no '" + from + "'");
  return body.substr(0, at) + to + body.substr(at + from.size());
}

struct SpoiledCase {
  const char* what;
  bool rich;  // the rich sale's request, else the empty order's
  const char* from;
  const char* to;
  const char* named;  // the element that the fault must name
};

// Each of these passes kasse-sim's own check and breaks the contract.
const SpoiledCase kSpoiled[] = {
    {"an id with a leading zero", true, "<Dwbelegnr>815<", "<Dwbelegnr>0815<", "Dwbelegnr"},
    {"an id beyond 32 bits", true, "<Dwaufragid>471<", "<Dwaufragid>4294967767<", "Dwaufragid"},
    {"an amount with a leading zero", true, "<Dblbruttogesamtpreis>119.50<", "<Dblbruttogesamtpreis>0119.50<",
     "Dblbruttogesamtpreis"},
    {"a second event in a position", true, "<Vavainfo><item>",
     "<Vavainfo><item><Dwvaid>1</Dwvaid><Dwvanummer>1|1"
     "</Dwvanummer><Tvadatum>1</Tvadatum><Tvabis>1</Tvabis><Szname/></item><item>",
     "item"},
    {"an attribute the contract does not know", true, "<Dwpoolid>", "<Dwpoolid unit=\"pool\">", "Dwpoolid"},
    {"an element inside a text", true, "<Szwaehrung>EUR<", "<Szwaehrung><b/>EUR<", "Szwaehrung"},
    {"no additional fees without xsi:nil", false, "<Pzusatzgebuehren xsi:nil=\"true\"/>",
     "<Pzusatzgebuehren></Pzusatzgebuehren>", "Pzusatzgebuehren"},
};

TEST_F(KasseSimSchemaTest, RequestsOutsideTheContractGetASoapFault) {
  for (const SpoiledCase& c : kSpoiled) {
    SCOPED_TRACE(c.what);
    const httplib::Result result = post(spoiled(c.rich ? *richBody_ : *emptyBody_, c.from, c.to));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 500);
    EXPECT_EQ(result->get_header_value("Content-Type").rfind(kSoapContentType, 0), 0u);
    EXPECT_NE(result->body.find("<env:Value>env:Sender</env:Value>"), std::string::npos) << result->body;
    const std::size_t reason = result->body.find("<env:Text xml:lang=\"en\">kasse.xsd: ");
    ASSERT_NE(reason, std::string::npos) << result->body;
    EXPECT_NE(result->body.find(std::string("'") + c.named + "'", reason), std::string::npos) << result->body;
  }
}

// The simulator's own messages keep precedence: a request that its own
// check refuses is not reported by the schema.
TEST_F(KasseSimSchemaTest, OwnCheckSpeaksFirst) {
  const httplib::Result result = post(spoiled(*richBody_, "<Cdwauftragpos>1<", "<Cdwauftragpos>2<"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 500);
  EXPECT_NE(result->body.find("ImAuftrag/Cdwauftragpos is 2 but the list holds 1 items"), std::string::npos)
      << result->body;
}

TEST_F(KasseSimSchemaTest, TheLibrarysRequestsPassUnchanged) {
  for (const std::string* body : {richBody_, emptyBody_}) {
    const httplib::Result result = post(*body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << result->body;
  }
}

}  // namespace
}  // namespace qel
