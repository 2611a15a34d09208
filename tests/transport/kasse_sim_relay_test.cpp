// Tests of kasse-sim as a process: a start that fails says why, and the
// relay mode, with one simulator relaying to another: what the connector
// sends arrives unchanged, what the cash register answers comes back
// unchanged, and the relay's record holds both without the credentials.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "boxoffice/host_sale.h"
#include "kit/child_process.h"
#include "order/host_records.h"
#include "platform/platform.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/support/tls_fixture.h"
#include "tests/transport/vub_failure.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using test::KasseSimFixture;
using test::vubFailure;

const char kKasseSim[] = QEL_KASSE_SIM_PATH;
const char kPath[] = "/sap/bc/srt/kasse";
const char kUser[] = "kasse";
const char kPassword[] = "geh\xC3\xA9im";  // UTF-8
const char kRectmsg[] =
    "Beleg \xC3\xBC"
    "bernommen \xE2\x80\x93 5 \xE2\x82\xAC \xE2\x9C\x93";
const wchar_t kWideRectmsg[] = L"Beleg \u00FCbernommen \u2013 5 \u20AC \u2713";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> headerLines(const std::string& headers, const std::string& leaveOut) {
  std::set<std::string> lines;
  std::istringstream in(headers);
  std::string line;
  std::getline(in, line);  // request line
  while (std::getline(in, line)) {
    if (line.rfind(leaveOut, 0) != 0) lines.insert(line);
  }
  return lines;
}

std::wstring widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// One kasse-sim process with its output in NAME.out and NAME.err of a
// folder; it is stopped with SIGTERM when the object goes.
class SimProcess {
 public:
  SimProcess(const fs::path& dir, const std::string& name, const std::vector<std::string>& options)
      : out_(dir / (name + ".out")), err_(dir / (name + ".err")), process_(start(options)) {}
  ~SimProcess() { process_.stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The port from the first line of the output; 0 if none came within 5 s.
  int port() {
    const std::string line = process_.firstLine(out_.string());
    return line.empty() ? 0 : std::stoi(line);
  }

  // The exit status of a process that ends by itself.
  int exitStatus() { return process_.wait(); }

  std::string output() const { return readFile(out_) + readFile(err_); }
  std::string errors() const { return readFile(err_); }

 private:
  kit::ChildProcess start(const std::vector<std::string>& options) {
    fs::remove(out_);
    fs::remove(err_);
    std::vector<std::string> args{"--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    return kit::ChildProcess(kKasseSim, args, out_.string(), err_.string());
  }

  fs::path out_;
  fs::path err_;
  kit::ChildProcess process_;
};

// How a transfer ended, in one comparable text.
std::string outcome(const std::function<std::wstring()>& transfer) {
  try {
    return "answer: " + platform::wideToUtf8(transfer());
  } catch (const VubException& e) {
    return "failure " + std::to_string(e.code()) + ": " + platform::wideToUtf8(e.message());
  }
}

class KasseSimRelayTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture_ = KasseSimFixture::fromEnvironment(); }

  fs::path dir(const std::string& name) const {
    const fs::path path = scratch_.path() / name;
    fs::create_directories(path);
    return path;
  }

  static std::string url(int port, const std::string& scheme = "http") {
    return scheme + "://" + (scheme == "https" ? "localhost" : "127.0.0.1") + ":" + std::to_string(port) + kPath;
  }

  std::unique_ptr<SimProcess> start(const std::string& name, const std::vector<std::string>& options) const {
    auto process = std::make_unique<SimProcess>(scratch_.path(), name, options);
    EXPECT_NE(process->port(), 0) << name << ": " << process->output();
    return process;
  }

  std::unique_ptr<SimProcess> startRelay(const std::string& target, std::vector<std::string> options = {}) const {
    options.insert(options.begin(), {"--relay", target, "--record", dir("relay").string()});
    return start("relay", options);
  }

  static ConnectorConfig config(int port, const std::wstring& password = L"geh\u00E9im") {
    ConnectorConfig config;
    config.url = widen(url(port));
    config.username = widen(kUser);
    config.password = password;
    return config;
  }

  static std::wstring transfer(const ConnectorConfig& config, const Order& order = Order()) {
    KasseExchange exchange(config);
    KasseResponse response;
    exchange.transfer(order, response);
    return std::to_wstring(response.rect) + L" " + response.rectmsg;
  }

  std::optional<KasseSimFixture> fixture_;
  test::ScratchDir scratch_;
};

// A sale whose body holds escaped text and characters beyond ASCII.
Order richSale() {
  boxoffice::SaleBytes sale;
  sale.id = 471;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 59.75;
  boxoffice::PositionBytes position;
  position.id = 1;
  position.gesamtpreis = 59.75;
  position.event = boxoffice::EventBytes{77, 123, 5, 20240501, 20240502, "Konzert \"A&B\" <live> \xFC"};
  position.tickets = {boxoffice::TicketBytes{9001, 1.5, 0.25, 29.875}, boxoffice::TicketBytes{9002, 1.5, 0.25, 29.875}};
  sale.positions = {position};
  sale.zusatzgebuehren = {boxoffice::AdditionalFeeBytes{"Geb\xFChr & Co", "EUR", 1.0, 19.0}};
  const boxoffice::HostSale host(sale);
  Order order;
  order.fillFromHostOrder(HostOrderRecord(host.record()));
  order.setTerminalId(L"K1");
  return order;
}

TEST_F(KasseSimRelayTest, SaleArrivesAndItsAnswerReturnsUnchanged) {
  const auto kasse = start(
      "kasse", {"--user", kUser, "--password", kPassword, "--rectmsg", kRectmsg, "--record", dir("kasse").string()});
  // The relay posts to exactly its URL, query included, whatever path the
  // connector used.
  const auto relay = startRelay(url(kasse->port()) + "?sap-client=100");
  ConnectorConfig viaRelay = config(relay->port());
  viaRelay.url += L"/other";

  EXPECT_EQ(transfer(viaRelay, richSale()), std::wstring(L"0 ") + kWideRectmsg);
  EXPECT_EQ(transfer(config(kasse->port()), richSale()), std::wstring(L"0 ") + kWideRectmsg);

  // The cash register received the relayed sale (1) exactly as the direct
  // one (2): the same body and, apart from Host, the same headers.
  const fs::path kasseRecord = dir("kasse");
  const std::string relayedBody = readFile(kasseRecord / "000001-body.xml");
  EXPECT_NE(relayedBody.find("Konzert &quot;A&amp;B&quot; &lt;live&gt; \xC3\xBC"), std::string::npos) << relayedBody;
  EXPECT_EQ(relayedBody, readFile(kasseRecord / "000002-body.xml"));
  const std::string relayedHeaders = readFile(kasseRecord / "000001-headers.txt");
  EXPECT_EQ(relayedHeaders.rfind("POST /sap/bc/srt/kasse?sap-client=100 HTTP/1.1\r\n", 0), 0u) << relayedHeaders;
  EXPECT_EQ(headerLines(relayedHeaders, "Host:"), headerLines(readFile(kasseRecord / "000002-headers.txt"), "Host:"));
  // The cash register took the credentials (it answers 401 to others); its
  // record, too, shows only their scheme.
  EXPECT_NE(relayedHeaders.find("Authorization: Basic ***\r\n"), std::string::npos) << relayedHeaders;

  // The relay's record: the request as the connector sent it, with the
  // credentials masked, and the cash register's answer.
  const fs::path relayRecord = dir("relay");
  EXPECT_EQ(readFile(relayRecord / "000001-body.xml"), relayedBody);
  const std::string requestHeaders = readFile(relayRecord / "000001-headers.txt");
  EXPECT_EQ(requestHeaders.rfind("POST /sap/bc/srt/kasse/other HTTP/1.1\r\n", 0), 0u) << requestHeaders;
  EXPECT_NE(requestHeaders.find("Authorization: Basic ***\r\n"), std::string::npos) << requestHeaders;
  EXPECT_NE(requestHeaders.find("Content-Type: application/soap+xml\r\n"), std::string::npos) << requestHeaders;
  const std::string answerHeaders = readFile(relayRecord / "000001-response-headers.txt");
  EXPECT_EQ(answerHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answerHeaders;
  EXPECT_NE(answerHeaders.find("Content-Type: application/soap+xml; charset=utf-8\r\n"), std::string::npos);
  const std::string answerBody = readFile(relayRecord / "000001-response-body.xml");
  EXPECT_NE(answerBody.find(std::string("<Rectmsg>") + kRectmsg + "</Rectmsg>"), std::string::npos) << answerBody;

  // Nowhere in clear: not in the relay's files, nor in its output.
  std::string everything = relay->output();
  for (const auto& entry : fs::directory_iterator(relayRecord)) everything += readFile(entry.path());
  EXPECT_EQ(everything.find("a2Fzc2U6"), std::string::npos);
  EXPECT_EQ(everything.find(kPassword), std::string::npos);
}

// Whatever the cash register answers, the connector sees the same through
// the relay as directly: status, content type and body.
TEST_F(KasseSimRelayTest, EveryAnswerComesBackAsTheCashRegisterGaveIt) {
  struct Case {
    const char* what;
    std::vector<std::string> kasseOptions;
    std::wstring password;
    std::string rawBody;   // posted as it is instead of a sale
    const char* expected;  // part of the outcome, to show that the case happens
  };
  const Case cases[] = {
      {"refused",
       {"--rect", "4", "--rectmsg", "Ung\xC3\xBCltige Belegnummer"},
       L"geh\u00E9im",
       "",
       "failure 4: SAP Kasse response error: Ung\xC3\xBCltige Belegnummer"},
      {"status 201 with ns1",
       {"--status", "201", "--prefix", "ns1", "--rectmsg", kRectmsg},
       L"geh\u00E9im",
       "",
       "answer: 0 Beleg"},
      {"status 503",
       {"--status", "503"},
       L"geh\u00E9im",
       "",
       "failure 0: Unexpected HTTP Status code 503<?xml version=\"1.0\" encoding=\"utf-8\"?><env:Envelope "
       "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header/><env:Body><env:Fault><env:Code><env:Value>"
       "env:Receiver</env:Value></env:Code><env:Reason><env:Text xml:lang=\"en\">simulated status 503</env:Text>"},
      {"wrong password", {}, L"gehEim", "", "failure 0: Unexpected HTTP Status code 401wrong or missing"},
      {"SOAP fault", {}, L"geh\u00E9im", "<ImAuftrag/>", "Unexpected HTTP Status code 500<?xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> options{"--user", kUser, "--password", kPassword};
    options.insert(options.end(), c.kasseOptions.begin(), c.kasseOptions.end());
    const auto kasse = start("kasse", options);
    const auto relay = startRelay(url(kasse->port()));
    const auto run = [&](int port) {
      return outcome([&] {
        if (c.rawBody.empty()) return transfer(config(port, c.password));
        HttpClient::globalInit();
        HttpClient client;
        client.setCredentials(widen(kUser), c.password);
        client.addHeader(L"Content-Type", L"application/soap+xml");
        return decodeResponse(client.postForBytes(widen(url(port)), c.rawBody.c_str()));
      });
    };
    const std::string direct = run(kasse->port());
    EXPECT_NE(direct.find(c.expected), std::string::npos) << direct;
    EXPECT_EQ(run(relay->port()), direct);
  }
}

// An HTTPS cash register must prove itself to the relay: with --relay-ca
// against that file alone, without it against the system's store.
TEST_F(KasseSimRelayTest, HttpsCashRegisterIsVerified) {
  if (!fixture_) GTEST_FAIL() << "the test CA is made by CTest (QEL_KASSE_SIM_DIR is not set)";
  struct Case {
    const char* relayCa;  // empty: none given
    bool relayServesTls;
    const char* expected;
  };
  const Case cases[] = {
      {"ca.pem", false, "answer: 0 "},
      {"ca.pem", true, "answer: 0 "},
      {"", false, "failure 0: Unexpected HTTP Status code 502kasse-sim relay: no answer from https://localhost:"},
      {"other-ca.pem", false,
       "failure 0: Unexpected HTTP Status code 502kasse-sim relay: no answer from https://localhost:"},
  };
  const auto kasse = start("kasse", {"--tls", fixture_->path("trusted.pem"), fixture_->path("trusted.key")});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.relayCa) + (c.relayServesTls ? " to a relay with TLS" : ""));
    std::vector<std::string> options;
    if (*c.relayCa != '\0') options = {"--relay-ca", fixture_->path(c.relayCa)};
    if (c.relayServesTls) {
      options.insert(options.end(), {"--tls", fixture_->path("trusted.pem"), fixture_->path("trusted.key")});
    }
    const auto relay = startRelay(url(kasse->port(), "https"), options);
    ConnectorConfig viaRelay = config(relay->port());
    if (c.relayServesTls) {
      viaRelay.url = widen(url(relay->port(), "https"));
      viaRelay.caFile = fixture_->widePath("ca.pem");
    }
    const std::string result = outcome([&] { return transfer(viaRelay); });
    EXPECT_EQ(result.rfind(c.expected, 0), 0u) << result;
    if (*c.expected == 'f') {
      EXPECT_NE(result.find("SSL certificate problem"), std::string::npos) << result;
    }
  }
}

TEST_F(KasseSimRelayTest, UnreachableCashRegisterGives502AndIsRecorded) {
  const std::string target = url(test::unusedLoopbackPort());
  const auto relay = startRelay(target);
  const VubException e = vubFailure([&] { transfer(config(relay->port())); });
  const std::wstring prefix = L"Unexpected HTTP Status code 502";
  ASSERT_EQ(e.message().rfind(prefix, 0), 0u) << platform::wideToUtf8(e.message());
  const std::string body = platform::wideToUtf8(e.message().substr(prefix.size()));
  EXPECT_EQ(body.rfind("kasse-sim relay: no answer from " + target + ": Couldn't connect to server: ", 0), 0u) << body;

  const fs::path record = dir("relay");
  EXPECT_NE(readFile(record / "000001-body.xml").find("ImAuftrag"), std::string::npos);
  EXPECT_NE(readFile(record / "000001-headers.txt").find("Authorization: Basic ***\r\n"), std::string::npos);
  EXPECT_EQ(readFile(record / "000001-response-headers.txt"),
            "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/plain; charset=utf-8\r\n");
  EXPECT_EQ(readFile(record / "000001-response-body.txt"), body);
}

// A session cookie can stand in for the login: the record keeps the names
// of the cookies and of their attributes, never a cookie's value.
TEST_F(KasseSimRelayTest, CookiesAreMaskedInTheRecord) {
  test::LoopbackServer kasse(
      "HTTP/1.1 200 OK\r\nSet-Cookie: MYSSO2=s3ss10n; path=/; HttpOnly\r\nSet-Cookie: sap-usercontext=sap-client=1"
      "\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
  const std::wstring kasseUrl = kasse.url();
  const auto relay = startRelay(std::string(kasseUrl.begin(), kasseUrl.end()));
  HttpClient::globalInit();
  HttpClient client;
  client.addHeader(L"Cookie", L"MYSSO2=s3ss10n; sap-usercontext=sap-client=1;x");
  EXPECT_EQ(client.postForBytes(widen(url(relay->port())), "<x/>"), "ok");

  const fs::path record = dir("relay");
  const std::string request = readFile(record / "000001-headers.txt");
  EXPECT_NE(request.find("Cookie: MYSSO2=***; sap-usercontext=***;x\r\n"), std::string::npos) << request;
  const std::string answer = readFile(record / "000001-response-headers.txt");
  EXPECT_NE(answer.find("Set-Cookie: MYSSO2=***; path=/; HttpOnly\r\n"), std::string::npos) << answer;
  EXPECT_NE(answer.find("Set-Cookie: sap-usercontext=***\r\n"), std::string::npos) << answer;
  std::string everything = relay->output();
  for (const auto& entry : fs::directory_iterator(record)) everything += readFile(entry.path());
  EXPECT_EQ(everything.find("s3ss10n"), std::string::npos);
  EXPECT_EQ(everything.find("client=1"), std::string::npos);
}

TEST_F(KasseSimRelayTest, RelayRefusesOptionsThatDoNotFit) {
  const std::string record = dir("relay").string();
  const struct {
    std::vector<std::string> options;
    const char* reason;
  } cases[] = {
      {{"--relay", "ftp://kasse/x", "--record", record}, "--relay: needs an http:// or https:// URL"},
      {{"--relay", "http://kasse/x"}, "--relay requires --record"},
      {{"--relay", "http://kasse/x", "--record", record, "--rect", "4"}, "--rect excludes --relay"},
      {{"--relay-ca", "ca.pem", "--record", record}, "--relay-ca requires --relay"},
      {{"--relay", "http://kasse/x", "--record", record, "--ledger", "book"}, "--ledger excludes --relay"},
  };
  for (const auto& c : cases) {
    SimProcess process(scratch_.path(), "usage", c.options);
    EXPECT_EQ(process.exitStatus(), 2) << c.reason;
    EXPECT_EQ(process.errors().rfind(std::string("kasse-sim: ") + c.reason + "\n", 0), 0u) << process.errors();
  }
}

// A start that cannot work ends at once with exit status 1 and one line
// naming what failed and why, not the usage text; a port that another
// simulator holds is not shared.
TEST_F(KasseSimRelayTest, FailedStartSaysWhy) {
  const auto holder = start("holder", {});
  const std::string busy = std::to_string(holder->port());
  const std::string missing = (scratch_.path() / "missing.pem").string();
  const struct {
    std::vector<std::string> options;
    std::string error;
  } cases[] = {
      {{"--port", busy, "--rect", "4"}, "cannot listen on 127.0.0.1:" + busy + ": Address already in use"},
      {{"--tls", missing, missing}, "cannot read certificate file '" + missing + "': No such file or directory"},
      {{"--body", missing}, "cannot read body file '" + missing + "': No such file or directory"},
      {{"--ledger", missing + "/book"}, "cannot open the ledger '" + missing + "/book': No such file or directory"},
      {{"--relay", "http://kasse/x", "--record", dir("relay").string(), "--relay-ca", missing},
       "cannot read CA file '" + missing + "': No such file or directory"},
  };
  for (const auto& c : cases) {
    SimProcess process(scratch_.path(), "failed", c.options);
    EXPECT_EQ(process.exitStatus(), 1) << c.error;
    EXPECT_EQ(process.errors(), "kasse-sim: " + c.error + "\n");
  }
}

// The ledger books exactly the orders answered with Rect 0 and a status the
// connector takes as an answer, and a lost answer does not unbook them.
TEST_F(KasseSimRelayTest, LedgerBooksWhatIsAnsweredWithRectZero) {
  const std::string body = (scratch_.path() / "answer.xml").string();
  std::ofstream(body) << "<anything/>";
  const std::string booked = R"({"receipt":815,"order":471,"total":"59.75","terminal":"K1","positions":1,"time":")";
  const struct {
    std::vector<std::string> options;
    bool books;
  } cases[] = {
      {{}, true},
      {{"--rect", "4"}, false},
      {{"--status", "201"}, true},
      {{"--status", "202"}, false},
      {{"--status", "500"}, false},
      {{"--body", body}, false},
      {{"--mix", "1:0:0:0"}, true},
      {{"--mix", "0:1:0:0"}, false},
      {{"--mix", "0:0:1:0"}, false},
  };
  int row = 0;
  for (const auto& c : cases) {
    const fs::path ledger = scratch_.path() / ("ledger-" + std::to_string(++row));
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--ledger", ledger.string()});
    const auto kasse = start("ledger", options);
    outcome([&] { return transfer(config(kasse->port()), richSale()); });
    const std::string lines = readFile(ledger);
    const std::string where = "row " + std::to_string(row) + ": " + lines;
    if (!c.books) {
      EXPECT_EQ(lines, "") << where;
      continue;
    }
    ASSERT_EQ(lines.rfind(booked, 0), 0u) << where;
    EXPECT_EQ(lines.find('\n'), lines.size() - 1) << where;
    EXPECT_EQ(lines.size(), std::string(booked).size() + std::string("2024-05-01T10:15:02.123Z\"}\n").size()) << where;
  }
}

// With HTTPS the address shown is the one a client can verify.
TEST_F(KasseSimRelayTest, HttpsAddressNamesTheCertificatesHost) {
  if (!fixture_) GTEST_FAIL() << "the test CA is made by CTest (QEL_KASSE_SIM_DIR is not set)";
  const auto kasse = start("kasse", {"--tls", fixture_->path("trusted.pem"), fixture_->path("trusted.key")});
  const std::string serving = "kasse-sim: serving https://localhost:" + std::to_string(kasse->port()) + "/ ";
  // The line follows the port on the other stream.
  std::string errors = kasse->errors();
  for (int i = 0; i < 500 && errors.find('\n') == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    errors = kasse->errors();
  }
  EXPECT_EQ(errors.rfind(serving, 0), 0u) << errors;
}

}  // namespace
}  // namespace qel
