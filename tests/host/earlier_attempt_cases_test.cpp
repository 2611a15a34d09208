// A receipt that the cash register may already have booked, end to end on
// both targets: each way a sale or refund stays open in QelConnect.journal,
// each answer to the question that the next attempt asks, and what came of
// it: the boxes, the requests, the return code, the record, the log, the
// journal and the trace.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/host/flow_fixture.h"
#include "tests/render/golden_documents.h"

namespace qel::test {
namespace {

using boxoffice::kIdNo;
using boxoffice::kIdYes;

constexpr char kJournal[] = "QelConnect.journal";

// The lines of a file of JSON lines, parsed.
std::vector<nlohmann::json> jsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    lines.push_back(nlohmann::json::parse(text.substr(begin, end - begin)));
  }
  return lines;
}

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

// The local time of an ISO 8601 UTC text, as the C runtime sees it:
// "07.12.2026" and "14:32".
struct LocalText {
  std::wstring date;
  std::wstring time;
};
LocalText localTextOf(const std::string& iso) {
  std::tm utc{};
  utc.tm_year = std::stoi(iso.substr(0, 4)) - 1900;
  utc.tm_mon = std::stoi(iso.substr(5, 2)) - 1;
  utc.tm_mday = std::stoi(iso.substr(8, 2));
  utc.tm_hour = std::stoi(iso.substr(11, 2));
  utc.tm_min = std::stoi(iso.substr(14, 2));
  utc.tm_sec = std::stoi(iso.substr(17, 2));
  // Days since 1970 by the civil calendar, so that no time zone enters.
  const int y = utc.tm_year + 1900 - (utc.tm_mon < 2 ? 1 : 0);
  const int m = utc.tm_mon + 1;
  const long days =
      365L * y + y / 4 - y / 100 + y / 400 + (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + utc.tm_mday - 719469L;
  const std::time_t seconds = days * 86400 + utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
  const std::tm local = *std::localtime(&seconds);
  const std::string date =
      twoDigits(local.tm_mday) + "." + twoDigits(local.tm_mon + 1) + "." + std::to_string(local.tm_year + 1900);
  const std::string time = twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min);
  return {std::wstring(date.begin(), date.end()), std::wstring(time.begin(), time.end())};
}

// The questions, worded as the cashier's card quotes them.
std::wstring saleQuestion(const LocalText& at) {
  return L"Beleg 815 \u00fcber 42,50 EUR wurde am " + at.date + L" um " + at.time +
         L" an die Kasse \u00fcbertragen; ob die Kasse ihn gebucht hat, ist offen.\r\n\r\n"
         L"Ist Beleg 815 an der Kasse gebucht?\r\n\r\n"
         L"Ja: Der Verkauf wird ohne erneute \u00dcbertragung abgeschlossen.\r\n"
         L"Nein: Der Beleg wird jetzt \u00fcbertragen.\r\n"
         L"Abbrechen: Es geschieht nichts.";
}

std::wstring refundQuestion(const LocalText& at) {
  return L"Die R\u00fcckbuchung von Beleg 815 \u00fcber -25,00 EUR wurde am " + at.date + L" um " + at.time +
         L" an die Kasse \u00fcbertragen; ob die Kasse sie gebucht hat, ist offen.\r\n\r\n"
         L"Ist die R\u00fcckbuchung von Beleg 815 an der Kasse gebucht?\r\n\r\n"
         L"Ja: Die R\u00fcckbuchung wird ohne erneute \u00dcbertragung abgeschlossen.\r\n"
         L"Nein: Die R\u00fcckbuchung wird jetzt \u00fcbertragen.\r\n"
         L"Abbrechen: Es geschieht nichts.";
}

std::wstring notPrintedQuestion(const LocalText& at) {
  return L"Beleg 815 ist seit " + at.time +
         L" an der Kasse gebucht; die Tickets wurden nicht gedruckt.\r\n\r\n"
         L"OK: ohne erneute \u00dcbertragung abschlie\u00dfen.\r\n"
         L"Abbrechen: Es geschieht nichts.";
}

class GuardFlow : public FlowTest {
 protected:
  // A cash register that books every order, with the trace on.
  void healthyKasse() {
    acceptingKasse();
    traceOn();
  }
  void traceOn() {
    writeFile("QelConnect.xml", configFor(server_->url(), 0) + "<diagnostics><trace>1</trace></diagnostics>");
  }

  // What the last call wrote to the journal after `before`, as the outcomes
  // of its lines; every line names receipt 815 and one id other than
  // `openId`, and holds neither message nor body.
  std::vector<std::string> appendedOutcomes(const std::string& before, const std::string& openId) {
    const std::string journal = readFile(kJournal);
    EXPECT_EQ(journal.substr(0, before.size()), before) << "the journal keeps what it held";
    std::vector<std::string> outcomes;
    std::string id;
    for (const nlohmann::json& line : jsonLines(journal.substr(before.size()))) {
      EXPECT_EQ(line.at("receipt"), 815);
      EXPECT_FALSE(line.contains("message") || line.contains("request") || line.contains("response"));
      if (id.empty()) id = line.at("id");
      EXPECT_EQ(line.at("id"), id);
      EXPECT_NE(id, openId);
      outcomes.push_back(line.at("outcome"));
    }
    return outcomes;
  }

  nlohmann::json lastTraceLine() const {
    const std::vector<nlohmann::json> lines = jsonLines(readFile("QelConnect.trace"));
    return lines.empty() ? nlohmann::json::object() : lines.back();
  }
  std::string lastTraceOutcome() const { return lastTraceLine().value("outcome", ""); }

  void expectGuard(const ShownDialog& box, const std::wstring& text, const std::vector<int>& buttons) const {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, kTransaction);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_EQ(box.defaultButton, boxoffice::kIdCancel);
    EXPECT_EQ(box.owner, owner());
  }
};

// How the first attempt of receipt 815 is left open.
struct OpenWay {
  const char* name;
  // Runs the first sale and returns the journal as it leaves it.
  std::function<std::string()> leaveOpen;
  const char* journalOutcome;
  bool notPrinted;  // booked, tickets not printed: OK/Cancel, no "No"
};

struct GuardAnswerCase {
  const char* name;
  int answer;
  bool sends;
  bool completes;  // the record filled, the entry logged, printing asked
  std::vector<std::string> journalLines;
  const char* traceOutcome;
};

using GuardCases = GuardFlow;

TEST_F(GuardCases, EachOpenSaleIsAskedAboutAndEachAnswerDoesWhatItSays) {
  const std::vector<OpenWay> ways = {
      {"time-out after the upload",
       [this] {
         server_.emplace([](const ReceivedRequest&, ServerConnection& c) { c.holdUntilStopped(); });
         traceOn();
         sell(smallSale(), {kIdOk});
         return readFile(kJournal);
       },
       "in-doubt", false},
      {"gateway status",
       [this] {
         startKasse(httpResponse(502, "Bad Gateway", "text/plain"));
         sell(smallSale(), {kIdOk});
         return readFile(kJournal);
       },
       "in-doubt", false},
      // The journal as a host killed during the transfer leaves it: taken
      // once the request has reached the cash register.
      {"killed host",
       [this] {
         std::string atKill;
         server_.emplace([&atKill](const ReceivedRequest&, ServerConnection& c) {
           atKill = readFile(kJournal);
           c.send(httpResponse(200, kasseAnswer("0", "OK")));
         });
         traceOn();
         sell(smallSale(), {kIdOk, kIdOk});
         return atKill;
       },
       "sending", false},
      {"Cancel at printing",
       [this] {
         acceptingKasse();
         sell(smallSale(), {kIdOk, kIdCancel});
         return readFile(kJournal);
       },
       "accepted-not-printed", true},
  };
  const std::vector<GuardAnswerCase> answers = {
      {"Yes", kIdYes, false, true, {"operator-confirmed"}, "operator-confirmed"},
      {"No", kIdNo, true, true, {"not-booked", "sending", "accepted"}, "accepted"},
      {"Cancel", kIdCancel, false, false, {}, "cancelled"},
  };
  for (const OpenWay& way : ways) {
    SCOPED_TRACE(way.name);
    std::remove(kJournal);
    const std::string open = way.leaveOpen();
    const std::vector<nlohmann::json> openLines = jsonLines(open);
    ASSERT_FALSE(openLines.empty());
    EXPECT_EQ(openLines.back().at("outcome"), way.journalOutcome);
    const std::string openId = openLines.back().at("id");
    const LocalText at = localTextOf(openLines.back().at("time"));
    for (const GuardAnswerCase& c : answers) {
      if (way.notPrinted && c.answer == kIdNo) continue;
      SCOPED_TRACE(c.name);
      writeFile(kJournal, open);
      std::remove("QelConnect.log");
      std::remove("QelConnect.trace");
      result_.fill(kResultPattern);
      healthyKasse();
      const int answer = way.notPrinted && c.answer == kIdYes ? kIdOk : c.answer;
      const std::int32_t code = sell(smallSale(), {kIdOk, answer, kIdOk});

      EXPECT_EQ(code, c.completes ? 0 : kNotCompleted);
      ASSERT_EQ(dialogs().size(), c.completes ? 3u : 2u);
      expectQuestion(dialogs()[0], kAskTransfer);
      if (way.notPrinted) {
        expectGuard(dialogs()[1], notPrintedQuestion(at), {kIdOk, kIdCancel});
      } else {
        expectGuard(dialogs()[1], saleQuestion(at), {kIdCancel, kIdYes, kIdNo});
      }
      if (c.completes) expectQuestion(dialogs()[2], kAskPrinting);
      EXPECT_EQ(requestCount(), c.sends ? 1u : 0u);
      if (c.completes) {
        EXPECT_TRUE(result_ == expectedResult(42.5));
        EXPECT_EQ(readFile("QelConnect.log"), kLogEntry);
      } else {
        EXPECT_TRUE(resultUntouched());
        EXPECT_FALSE(logExists());
      }
      EXPECT_EQ(appendedOutcomes(open, openId), c.journalLines);
      EXPECT_EQ(lastTraceOutcome(), c.traceOutcome);
      EXPECT_EQ(lastTraceLine().value("operator", ""), c.answer == kIdNo ? "not-booked" : "");

      // Closed, the receipt is sold as any other; cancelled, it is asked
      // about again.
      ASSERT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
      ASSERT_EQ(dialogs().size(), 2u);
      if (c.completes) {
        expectQuestion(dialogs()[1], kAskPrinting);
      } else {
        EXPECT_EQ(dialogs()[1].caption, kTransaction);
        EXPECT_TRUE(dialogs()[1].hasIcon);
      }
    }
  }
}

// Confirmed at the guard but not printed, the sale stays open as booked.
TEST_F(GuardCases, ConfirmedButNotPrintedStaysOpenAsBooked) {
  startKasse(httpResponse(502, "Bad Gateway", "text/plain"));
  sell(smallSale(), {kIdOk});
  healthyKasse();
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdYes, kIdCancel}), kNotCompleted);
  EXPECT_EQ(requestCount(), 0u);
  EXPECT_TRUE(result_ == expectedResult(42.5));
  EXPECT_EQ(lastTraceOutcome(), "operator-confirmed-not-printed");
  const std::string open = readFile(kJournal);
  const LocalText at = localTextOf(jsonLines(open).back().at("time"));
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  expectGuard(dialogs()[1], notPrintedQuestion(at), {kIdOk, kIdCancel});
  EXPECT_EQ(readFile(kJournal), open);
}

TEST_F(GuardCases, RefundInDoubtIsAskedAboutAtTheStart) {
  struct Case {
    const char* name;
    int answer;
    std::int32_t code;
    bool sends;
    std::vector<std::string> journalLines;
  };
  const Case cases[] = {
      {"Yes", kIdYes, 0, false, {"operator-confirmed"}},
      {"No", kIdNo, 0, true, {"not-booked", "sending", "accepted"}},
      {"Cancel", kIdCancel, kNotCompleted, false, {}},
  };
  const auto record = refundExample();
  startKasse(httpResponse(504, "Gateway Timeout", "text/plain"));
  refund(record.data());
  const std::string open = readFile(kJournal);
  const nlohmann::json openLine = jsonLines(open).back();
  ASSERT_EQ(openLine.at("outcome"), "in-doubt");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(kJournal, open);
    healthyKasse();
    boxoffice::BoxAnswerer answerer(*library_, std::vector<int>{c.answer});
    EXPECT_EQ(library_->refund()(nullptr, owner(), record.data()), c.code);
    ASSERT_EQ(answerer.dialogs().size(), 1u);
    expectGuard(answerer.dialogs()[0], refundQuestion(localTextOf(openLine.at("time"))), {kIdCancel, kIdYes, kIdNo});
    EXPECT_EQ(requestCount(), c.sends ? 1u : 0u);
    EXPECT_EQ(appendedOutcomes(open, openLine.at("id")), c.journalLines);
    EXPECT_FALSE(logExists());
  }
}

// Only the receipt that may be booked, and only for its own kind, is asked
// about: another receipt's sale shows today's boxes alone, and a refund of
// the receipt, once booked, closes its sale too.
TEST_F(GuardCases, OnlyAnOpenReceiptOfTheSameKindIsAskedAbout) {
  startKasse(httpResponse(502, "Bad Gateway", "text/plain"));
  sell(smallSale(), {kIdOk});
  healthyKasse();
  boxoffice::SaleBytes other = smallSale();
  other.belegnummer = 816;
  EXPECT_EQ(sell(other, {kIdOk, kIdOk}), 0);
  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[0], kAskTransfer);
  expectQuestion(dialogs()[1], kAskPrinting);

  const auto record = refundExample();
  EXPECT_EQ(refund(record.data()), 0);
  EXPECT_TRUE(dialogs().empty());
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
  ASSERT_EQ(dialogs().size(), 2u);
  expectQuestion(dialogs()[1], kAskPrinting);
  EXPECT_EQ(requestCount(), 3u);
}

// An ISO 8601 UTC time `days` before now, as the journal writes it.
std::string daysAgo(int days) {
  const std::time_t when = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", std::gmtime(&when));
  return text;
}

std::string journalLine(const std::string& time, int receipt, const char* outcome, const char* kind = "sale") {
  return "{\"time\":\"" + time + "\",\"id\":\"i" + std::to_string(receipt) + "\",\"kind\":\"" + kind +
         "\",\"receipt\":" + std::to_string(receipt) + ",\"total\":1.00,\"outcome\":\"" + outcome + "\"}\n";
}

// A journal past its limit is compacted at the next look-up: every
// transaction still open stays, as written and in its order, one open for
// 29 days among them; closed ones and one open for 31 days go. Below the
// limit nothing is rewritten.
TEST_F(GuardCases, CompactionKeepsEveryOpenTransaction) {
  std::string closed;
  const std::string first = journalLine(daysAgo(29), 1, "in-doubt") + journalLine(daysAgo(0), 2, "sending");
  const std::string last =
      journalLine(daysAgo(0), 3, "accepted-not-printed") + journalLine(daysAgo(0), 4, "in-doubt", "refund");
  const std::string open = first + last;
  for (int receipt = 1000; closed.size() < 16 * 1024; ++receipt) {
    closed += journalLine(daysAgo(0), receipt, "sending") + journalLine(daysAgo(0), receipt, "accepted");
  }
  const std::string old = journalLine(daysAgo(31), 5, "in-doubt");
  for (const bool past : {false, true}) {
    SCOPED_TRACE(past ? "past the limit" : "at the limit");
    // At the limit: the closed lines fill the journal to 16 KiB exactly.
    const std::string journal = old + first + closed + last;
    const std::string before = past ? journal : journal.substr(journal.size() - 16 * 1024);
    writeFile(kJournal, before);
    healthyKasse();
    ASSERT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    const std::string kept = past ? open : before;
    const std::string after = readFile(kJournal);
    ASSERT_EQ(after.substr(0, kept.size()), kept);
    const std::vector<nlohmann::json> added = jsonLines(after.substr(kept.size()));
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].at("outcome"), "sending");
    EXPECT_EQ(added[1].at("outcome"), "accepted");
  }
}

// A sale booked and not printed on an earlier day: the question names the
// day too; its minute is 10, written with two digits.
TEST_F(GuardCases, NotPrintedOnAnotherDayNamesTheDay) {
  const std::string time = daysAgo(2).replace(14, 2, "10");
  writeFile(kJournal, journalLine(time, 815, "accepted-not-printed"));
  healthyKasse();
  EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
  ASSERT_EQ(dialogs().size(), 2u);
  const LocalText at = localTextOf(time);
  expectGuard(dialogs()[1],
              L"Beleg 815 ist seit dem " + at.date + L" um " + at.time +
                  L" an der Kasse gebucht; die Tickets wurden nicht gedruckt.\r\n\r\n"
                  L"OK: ohne erneute \u00dcbertragung abschlie\u00dfen.\r\n"
                  L"Abbrechen: Es geschieht nichts.",
              {kIdOk, kIdCancel});
  EXPECT_EQ(requestCount(), 0u);
}

// Only a transfer is journaled: a sale or refund that fails before its
// request goes out (here: no configuration) leaves no line.
TEST_F(GuardCases, NothingSentNothingJournaled) {
  std::filesystem::remove("QelConnect.xml");
  EXPECT_EQ(sell(smallSale(), {kIdOk}), kNotCompleted);
  const auto record = refundExample();
  EXPECT_EQ(refund(record.data()), kNotCompleted);
  EXPECT_FALSE(std::filesystem::exists(kJournal));
}

// A journal that cannot be written stops nothing: the sale goes on without
// the guard, and the trace says why.
TEST_F(GuardCases, UnwritableJournalCostsOnlyTheGuard) {
  std::filesystem::create_directory(kJournal);
  healthyKasse();
  for (int sale = 0; sale < 2; ++sale) {
    startKasse(httpResponse(502, "Bad Gateway", "text/plain"));
    traceOn();
    EXPECT_EQ(sell(smallSale(), {kIdOk}), kNotCompleted);
    ASSERT_EQ(dialogs().size(), 2u);
    expectErrorBox(dialogs()[1], L"Unexpected HTTP Status code 502Bad Gateway" + possiblyBooked(815));
    EXPECT_EQ(requestCount(), 1u);
  }
  const std::vector<nlohmann::json> trace = jsonLines(readFile("QelConnect.trace"));
  ASSERT_EQ(trace.size(), 4u);
  for (const nlohmann::json& line : trace) EXPECT_EQ(line.value("journal", ""), "unwritable") << line.dump();
}

// A journal too large to read (past 4 MiB) stops nothing either: the sale
// goes on without the guard, and the trace says why. At the limit the
// receipt left open at its end is still found.
TEST_F(GuardCases, JournalPastItsReadLimitCostsOnlyTheGuard) {
  const std::string time = daysAgo(0);
  const std::string open = journalLine(time, 815, "in-doubt");
  for (const bool past : {false, true}) {
    SCOPED_TRACE(past ? "one byte past the limit" : "at the limit");
    std::string journal((std::size_t{4} << 20) + (past ? 1 : 0) - open.size(), 'x');
    journal.back() = '\n';
    writeFile(kJournal, journal + open);
    std::filesystem::remove("QelConnect.trace");
    healthyKasse();
    if (!past) {
      EXPECT_EQ(sell(smallSale(), {kIdOk, kIdCancel}), kNotCompleted);
      ASSERT_EQ(dialogs().size(), 2u);
      expectGuard(dialogs()[1], saleQuestion(localTextOf(time)), {kIdCancel, kIdYes, kIdNo});
      EXPECT_EQ(requestCount(), 0u);
      continue;
    }
    EXPECT_EQ(sell(smallSale(), {kIdOk, kIdOk}), 0);
    EXPECT_EQ(requestCount(), 1u);
    const std::vector<nlohmann::json> trace = jsonLines(readFile("QelConnect.trace"));
    ASSERT_FALSE(trace.empty());
    for (const nlohmann::json& line : trace) EXPECT_EQ(line.value("journal", ""), "unreadable") << line.dump();
  }
}

}  // namespace
}  // namespace qel::test
