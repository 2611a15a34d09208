// The transaction trace through the exports: the outcome each kind of end
// is recorded with, the bodies only when asked for, never a credential, and
// a file that stays bounded and never gets in the sale's way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/faults/fault_fixture.h"
#include "tests/faults/fault_server.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

// A sale whose request is too large to go out before the server can end
// the connection: libcurl sends its head and waits for the go-ahead.
boxoffice::HostSale largeSale() {
  boxoffice::SaleBytes sale = smallSale();
  sale.positions.assign(2000, sale.positions.front());
  return boxoffice::HostSale(sale);
}

std::int64_t millisecondsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A message with backslashes, which JSON must escape.
const char kBackslashRectmsg[] = "Beleg C:\\kasse\\doppelt";

struct TracedEnd {
  const char* name;
  FaultScript script;
  FaultServer::Start start;
  bool large;
  std::vector<int> answers;
  const char* outcome;
  int httpStatus;  // 0: none traced
};

TEST_F(FaultTest, TraceNamesHowEachSaleEnded) {
  const std::vector<TracedEnd> ends = {
      {"accepted",
       [](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("0", "OK"))); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk, kAnswerOk},
       "accepted",
       200},
      {"printing declined",
       [](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("0", "OK"))); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk, kAnswerCancel},
       "accepted-not-printed",
       200},
      {"printing question not shown",
       [](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("0", "OK"))); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk, kBoxNotShown},
       "accepted-not-printed",
       200},
      {"Rect 4",
       [](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("4", kBackslashRectmsg))); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "refused",
       200},
      {"HTTP 500 with the service's fault",
       [](FaultConnection& c) { c.send(httpResponse(500, soapFault("busy"))); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "refused",
       500},
      {"HTTP 500 from a gateway",
       [](FaultConnection& c) { c.send(httpResponse(500, "busy")); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "in-doubt",
       500},
      {"HTTP 302",
       [](FaultConnection& c) { c.send(httpResponse(302, "moved")); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "refused",
       302},
      {"HTTP 204",
       [](FaultConnection& c) { c.send(httpResponse(204, "")); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "in-doubt",
       204},
      {"200 without the response element",
       [](FaultConnection& c) { c.send(httpResponse(200, "<a/>")); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "in-doubt",
       200},
      {"reset after the whole request",
       [](FaultConnection& c) { c.reset(); },
       FaultServer::Start::AfterRequest,
       false,
       {kAnswerOk},
       "in-doubt",
       0},
      {"HTTP 502 before the body",
       [](FaultConnection& c) { c.send(httpResponse(502, "Bad Gateway")); },
       FaultServer::Start::AfterHead,
       true,
       {kAnswerOk},
       "refused",
       502},
      {"reset before the body",
       [](FaultConnection& c) { c.reset(); },
       FaultServer::Start::AfterHead,
       true,
       {kAnswerOk},
       "failed",
       0},
  };
  const boxoffice::HostSale large = largeSale();
  for (const TracedEnd& end : ends) {
    SCOPED_TRACE(end.name);
    FaultServer server(end.script, end.start);
    writeFile("QelConnect.xml", configFor(server.url()));
    const void* order = end.large ? large.record() : sale_.record();
    std::filesystem::remove("QelConnect.trace");
    const std::int64_t before = millisecondsNow();
    std::remove("QelConnect.journal");  // each end is a first attempt
    const CallOutcome outcome = callSale(order, paymentType_.data(), result_.data(), end.answers);
    const std::vector<std::string> lines = traceLines();
    ASSERT_EQ(lines.size(), 2u);
    // The line written ahead carries the order, and nothing of a transfer
    // that has yet to happen.
    const std::string& ahead = lines.front();
    EXPECT_EQ(traceText(ahead, "outcome"), "sending");
    EXPECT_NE(ahead.find("\"kind\":\"sale\",\"orderId\":4711,\"receipt\":815,\"total\":42.50,"), std::string::npos)
        << ahead;
    for (const char* key : {"\"message\"", "\"httpStatus\"", "\"times\"", "\"bytesSent\"", "\"request\""}) {
      EXPECT_EQ(ahead.find(key), std::string::npos) << key;
    }
    const std::string id = traceText(ahead, "id");
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos) << id;
    // It starts with the time the sale began, in milliseconds.
    const std::int64_t began = static_cast<std::int64_t>(std::stoull(id.substr(0, 12), nullptr, 16));
    EXPECT_LE(before, began);
    EXPECT_LE(began, millisecondsNow());
    const std::string& line = lines.back();
    EXPECT_EQ(traceText(line, "id"), id);
    const nlohmann::json traced = traceLine(line);
    EXPECT_EQ(traceText(line, "outcome"), end.outcome);
    EXPECT_EQ(traceText(line, "boxNotShown"), end.answers.back() == kBoxNotShown ? "printing" : "(no boxNotShown)");
    EXPECT_EQ(traceText(line, "kind"), "sale");
    EXPECT_NE(line.find("\"receipt\":815,\"total\":42.50,"), std::string::npos) << line;
    EXPECT_EQ(traced.value("httpStatus", 0), end.httpStatus);
    EXPECT_EQ(traced.contains("rect"), std::string(end.name) == "Rect 4" || end.outcome[0] == 'a');
    if (traced.contains("rect")) {
      EXPECT_EQ(traceText(line, "rectmsg"), end.outcome[0] == 'a' ? "OK" : kBackslashRectmsg);
    }
    // Plain http has no TLS handshake; the connection itself takes time.
    const nlohmann::json times = traced.value("times", nlohmann::json::object());
    EXPECT_EQ(times.value("tls", -1.0), 0.0) << line;
    EXPECT_GT(times.value("connect", 0.0), 0.0) << line;
    EXPECT_LE(times.value("connect", 0.0), times.value("total", 0.0)) << line;
    if (outcome.boxes.size() > 1 && outcome.boxes.back().caption == kErrorCaption) {
      const bool inDoubt = std::string(end.outcome) == "in-doubt";
      EXPECT_EQ(traceText(line, "message"),
                ascii(messageOfBox(outcome.boxes.back().text, possiblyBooked(815), inDoubt)));
    } else {
      EXPECT_EQ(traceText(line, "message"), "(no message)") << "no error box, no message";
    }
  }
}

// A refund that the cash register took is traced as accepted: there is no
// printing question to decline.
TEST_F(FaultTest, AcceptedRefundIsTracedAsAccepted) {
  startKasse();
  ASSERT_EQ(refund().code, 0);
  const std::string line = expectSendingThenOutcome();
  EXPECT_EQ(traceText(line, "kind"), "refund");
  EXPECT_EQ(traceText(line, "outcome"), "accepted");
}

// The password travels only in the Authorization header, which is never
// written; a url with user information loses it, however it is written.
// The bodies are written when asked for, as they were sent and received.
TEST_F(FaultTest, TraceKeepsBodiesOnRequestAndNeverTheCredentials) {
  const std::string answer = kasseAnswer("0", "OK");
  FaultServer server([&](FaultConnection& c) { c.send(httpResponse(200, answer)); });
  const std::string url = server.url();
  const std::string hostAndPath = url.substr(7);
  struct UserUrl {
    std::string configured;
    std::string traced;
    bool sold;
  };
  const UserUrl urls[] = {
      {"http://kasse:geheim@" + hostAndPath, url, true},
      {"http://kasse:ge%40heim@" + hostAndPath, url, true},
      {"http://kasse:ge@heim@" + hostAndPath, hostAndPath, false},
      {"http://kasse:ge/heim@" + hostAndPath, hostAndPath, false},
      {"kasse:geheim@" + hostAndPath + "?back=http://x", hostAndPath + "?back=http://x", true},
      {url + "?mail=kasse@example.org", url + "?mail=kasse@example.org", true},
  };
  for (const char* bodies : {"1", "0"}) {
    for (const UserUrl& c : urls) {
      SCOPED_TRACE(c.configured + " bodies " + bodies);
      std::filesystem::remove("QelConnect.trace");
      writeFile("QelConnect.xml",
                configFor(c.configured, "", std::string("<trace>1</trace><traceBodies>") + bodies + "</traceBodies>"));
      EXPECT_EQ(sell().code, c.sold ? 0 : kNotCompleted);
      const std::string trace = readFile("QelConnect.trace");
      for (const char* secret : {"heim", "a2Fzc2U6Z2VoZWlt" /* kasse:geheim in Base64 */}) {
        EXPECT_EQ(trace.find(secret), std::string::npos) << secret;
      }
      const std::string line = lastTraceLine();
      EXPECT_EQ(traceText(line, "url"), c.traced);
      if (!c.sold) continue;
      EXPECT_EQ(traceText(line, "request"), bodies[0] == '1' ? server.lastBody() : "(no request)");
      EXPECT_EQ(traceText(line, "response"), bodies[0] == '1' ? answer : "(no response)");
    }
  }
}

// Off unless the switch is exactly 1; never emptied by hrECInit; moved to
// QelConnect.trace.1 once it would pass its limit; a broken last line stays on its own; a
// trace that cannot be written costs its line and nothing else.
TEST_F(FaultTest, TraceIsBoundedAndNeverInTheWay) {
  startKasse();
  const auto sellOk = [&] {
    const CallOutcome outcome = sell();
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  };
  for (const char* off : {"", "<trace>0</trace>", "<trace>yes</trace>", "<trace> 1</trace>", "<trace>10</trace>"}) {
    writeFile("QelConnect.xml", configFor(kasse_->url(), "", off));
    sellOk();
    EXPECT_FALSE(std::filesystem::exists("QelConnect.trace")) << off;
  }

  writeFile("QelConnect.xml", configFor(kasse_->url()));
  sellOk();
  std::uint32_t handle = 0;
  ASSERT_EQ(faultLibrary().init()(nullptr, &handle), 0);
  EXPECT_NE(readFile("QelConnect.trace").find("\"outcome\":\"accepted\""), std::string::npos)
      << "hrECInit leaves the trace alone";

  const std::string full = std::string(kTraceLimit - 1, 'x') + "\n";
  writeFile("QelConnect.trace", full);
  sellOk();
  EXPECT_EQ(readFile("QelConnect.trace.1"), full);
  EXPECT_EQ(traceText(expectSendingThenOutcome(), "outcome"), "accepted");

  writeFile("QelConnect.trace", "{\"cut off");
  sellOk();
  const std::string trace = readFile("QelConnect.trace");
  EXPECT_EQ(trace.substr(0, 11), "{\"cut off\n{");
  EXPECT_EQ(trace.back(), '\n');

  std::filesystem::remove("QelConnect.trace");
  std::filesystem::create_directory("QelConnect.trace");
  sellOk();
  EXPECT_TRUE(std::filesystem::is_empty("QelConnect.trace"));
}

}  // namespace
}  // namespace qel::test
