// What the journal's lines leave open: the latest line of a kind and receipt
// decides, a booked refund closes its sale, thirty days end everything, and
// compaction keeps exactly the open lines.
#include "host/journal_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utc_time.h"

namespace qel {
namespace {

constexpr std::int64_t kNow = 1796648400000;  // 2026-12-07T13:00:00.000Z

std::string line(const char* kind, int receipt, const char* outcome, std::int64_t time = kNow - 60000,
                 const char* id = "a1") {
  return std::string("{\"time\":\"") + isoUtc(time) + "\",\"version\":\"1.0\",\"id\":\"" + id + "\",\"kind\":\"" +
         kind + "\",\"orderId\":4711,\"receipt\":" + std::to_string(receipt) +
         ",\"total\":42.50,\"terminalId\":\"T\",\"url\":\"http://k/\",\"outcome\":\"" + outcome + "\"}\n";
}

TEST(JournalLine, ReadsTheLibrarysLinesAndNothingCutOrForeign) {
  const std::string whole = line("refund", -815, "in-doubt");
  const auto read = readJournalLine(whole.substr(0, whole.size() - 1));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->kind, TransactionKind::Refund);
  EXPECT_EQ(read->receipt, -815);
  EXPECT_EQ(read->total, 42.5);
  EXPECT_EQ(read->timeMs, kNow - 60000);
  EXPECT_EQ(read->id, "a1");
  EXPECT_EQ(read->outcome, "in-doubt");

  // A url that holds what looks like a key does not stand for it.
  const std::string tricky = R"({"time":"2026-12-07T12:59:00.000Z","id":"b","kind":"sale","receipt":1,"total":null,)"
                             R"("url":"http://k/\"outcome\":\"accepted\"","outcome":"sending"})";
  ASSERT_TRUE(readJournalLine(tricky));
  EXPECT_EQ(readJournalLine(tricky)->outcome, "sending");
  EXPECT_EQ(readJournalLine(tricky)->total, 0.0) << "a total that is no number reads as 0";

  const std::string good = whole.substr(0, whole.size() - 1);
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  const std::vector<std::string> refused = {
      good.substr(0, good.size() - 1),  // cut by a crash
      good.substr(1),
      replaced("\"refund\"", "\"rebate\""),
      replaced("-815", "8x5"),
      replaced("-815", "99999999999"),
      replaced("12:59", "25:61"),
      replaced("\"id\"", "\"ID\""),
      replaced("\"outcome\"", "\"result\""),
      "",
  };
  for (const std::string& text : refused) EXPECT_FALSE(readJournalLine(text)) << text;
}

struct Expected {
  TransactionKind kind;
  int receipt;
  OpenState state;
};

TEST(JournalState, TheLatestLineOfAReceiptDecides) {
  using K = TransactionKind;
  using S = OpenState;
  struct Case {
    const char* name;
    std::string journal;
    std::vector<Expected> open;
  };
  const std::int64_t limit = kNow - std::int64_t{30} * 24 * 3600 * 1000;  // thirty days
  const Case cases[] = {
      {"killed during the transfer", line("sale", 815, "sending"), {{K::Sale, 815, S::Interrupted}}},
      {"in doubt", line("sale", 815, "sending") + line("sale", 815, "in-doubt"), {{K::Sale, 815, S::InDoubt}}},
      {"accepted", line("sale", 815, "sending") + line("sale", 815, "accepted"), {}},
      {"refused and failed", line("sale", 1, "refused") + line("sale", 2, "failed"), {}},
      {"not printed", line("sale", 815, "accepted-not-printed"), {{K::Sale, 815, S::NotPrinted}}},
      {"confirmed, not printed", line("sale", 815, "operator-confirmed-not-printed"), {{K::Sale, 815, S::NotPrinted}}},
      {"confirmed", line("sale", 815, "in-doubt") + line("sale", 815, "operator-confirmed"), {}},
      {"not booked", line("sale", 815, "in-doubt") + line("sale", 815, "not-booked"), {}},
      {"open again after not booked",
       line("sale", 815, "in-doubt") + line("sale", 815, "not-booked") + line("sale", 815, "sending"),
       {{K::Sale, 815, S::Interrupted}}},
      {"a booked refund closes the sale", line("sale", 815, "in-doubt") + line("refund", 815, "accepted"), {}},
      {"a confirmed refund closes the sale",
       line("sale", 815, "accepted-not-printed") + line("refund", 815, "operator-confirmed"),
       {}},
      {"a refused refund does not",
       line("sale", 815, "in-doubt") + line("refund", 815, "refused"),
       {{K::Sale, 815, S::InDoubt}}},
      {"a refund in doubt is open beside its sale",
       line("sale", 815, "in-doubt") + line("refund", 815, "in-doubt"),
       {{K::Sale, 815, S::InDoubt}, {K::Refund, 815, S::InDoubt}}},
      {"a sale does not close a refund",
       line("refund", 815, "in-doubt") + line("sale", 815, "accepted"),
       {{K::Refund, 815, S::InDoubt}}},
      {"other receipts stay open, ordered by their latest lines",
       line("sale", 2, "in-doubt") + line("sale", 1, "sending") + line("sale", 3, "accepted") +
           line("sale", 2, "accepted-not-printed"),
       {{K::Sale, 1, S::Interrupted}, {K::Sale, 2, S::NotPrinted}}},
      {"thirty days old is still open", line("sale", 815, "in-doubt", limit), {{K::Sale, 815, S::InDoubt}}},
      {"a millisecond more is forgotten", line("sale", 815, "in-doubt", limit - 1), {}},
      {"unreadable lines count for nothing",
       line("sale", 815, "in-doubt") + "{\"kind\":\"sale\",\"receipt\":815,\"outcome\":\"accepted\"}\n" + "garbage\n" +
           line("sale", 815, "accepted").substr(0, 60),
       {{K::Sale, 815, S::InDoubt}}},
  };
  for (const Case& c : cases) {
    const std::vector<OpenTransaction> open = openTransactions(c.journal, kNow);
    ASSERT_EQ(open.size(), c.open.size()) << c.name;
    for (std::size_t i = 0; i < open.size(); ++i) {
      EXPECT_EQ(open[i].line.kind, c.open[i].kind) << c.name;
      EXPECT_EQ(open[i].line.receipt, c.open[i].receipt) << c.name;
      EXPECT_EQ(open[i].state, c.open[i].state) << c.name;
    }
  }
  const std::string journal = line("sale", 815, "in-doubt") + line("refund", 815, "sending");
  ASSERT_TRUE(openTransaction(journal, kNow, TransactionKind::Refund, 815));
  EXPECT_EQ(openTransaction(journal, kNow, TransactionKind::Refund, 815)->state, OpenState::Interrupted);
  EXPECT_FALSE(openTransaction(journal, kNow, TransactionKind::Sale, 816));
}

// Compaction keeps every open transaction's latest line, byte for byte and
// in order, and nothing else.
TEST(JournalState, CompactionKeepsExactlyTheOpenLines) {
  std::string journal;
  std::string expected;
  for (int receipt = 1; receipt <= 300; ++receipt) {
    journal += line("sale", receipt, "sending", kNow - 1000, "x");
    const char* end = receipt % 7 == 0 ? "in-doubt" : receipt % 11 == 0 ? "accepted-not-printed" : "accepted";
    const std::string last = line("sale", receipt, end, kNow - 1000, "y");
    journal += last;
    if (receipt % 7 == 0 || receipt % 11 == 0) expected += last;
  }
  journal += line("sale", 5000, "in-doubt", kNow - std::int64_t{30} * 24 * 3600 * 1000 - 1);
  const std::string killed = line("refund", 9, "sending");
  journal += killed;
  expected += killed;
  EXPECT_EQ(compactJournal(journal, kNow), expected);
  EXPECT_EQ(compactJournal(expected, kNow), expected) << "compacting twice changes nothing";
  EXPECT_EQ(compactJournal("", kNow), "");
}

}  // namespace
}  // namespace qel
