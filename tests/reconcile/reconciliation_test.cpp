// The three promises, one row per way a transaction can end, and the
// evidence readers on the lines a run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "harness/reconcile/evidence.h"
#include "harness/reconcile/file_lock.h"
#include "harness/reconcile/reconciliation.h"
#include "host/operator_dialogs.h"
#include "platform/platform.h"
#include "tests/support/scratch_dir.h"
#include "tools/qelhost/trace_command.h"

namespace qel::reconcile {
namespace {

using V = Violation;

struct Row {
  const char* name;
  HostView host;
  TraceView trace;
  int booked;
  bool refund;
  Shown shown;
  std::vector<Violation> violations;
};

constexpr std::int64_t kReceipt = 500123;

HostView host(int exitCode, const char* outcome = "", Paragraph paragraph = Paragraph::None) {
  HostView view;
  view.exitCode = exitCode;
  view.reported = true;
  view.outcome = outcome;
  view.paragraph = paragraph;
  return view;
}

HostView killed() {
  HostView view;
  view.killed = true;
  return view;
}

HostView locked(HostView view, const char* file) {
  view.lockedFile = file;
  return view;
}

const HostView kPaid = host(0, "accepted");
const HostView kNotPaid = host(1);
const HostView kDoubt = host(4, "in-doubt", Paragraph::OwnReceipt);
const HostView kKilled = killed();
const TraceView kNamed{"in-doubt", false, true};

const Row kRows[] = {
    {"paid and booked", kPaid, {"accepted"}, 1, false, Shown::Paid, {}},
    {"paid, not booked", kPaid, {"accepted"}, 0, false, Shown::Paid, {V::PaidNotBookedOnce}},
    {"paid, booked twice", kPaid, {"accepted"}, 2, false, Shown::Paid, {V::PaidNotBookedOnce, V::BookedTwice}},
    {"refund done", host(0, "accepted"), {"accepted"}, 1, true, Shown::Paid, {}},
    {"booked, not printed", host(5, "accepted-not-printed"), {"accepted-not-printed"}, 1, false, Shown::Paid, {}},
    {"booked, not printed, not booked",
     host(5, "accepted-not-printed"),
     {},
     0,
     false,
     Shown::Paid,
     {V::PaidNotBookedOnce}},
    {"not paid, not booked", kNotPaid, {"failed"}, 0, false, Shown::NotPaid, {}},
    {"declined at the first question", host(1, "cancelled"), {}, 0, false, Shown::NotPaid, {}},
    {"not paid, booked", kNotPaid, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"in doubt everywhere, booked", kDoubt, kNamed, 1, false, Shown::InDoubt, {}},
    {"in doubt everywhere, not booked", kDoubt, kNamed, 0, false, Shown::InDoubt, {}},
    {"in doubt, no paragraph", host(4, "in-doubt"), kNamed, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, paragraph names another number",
     host(4, "in-doubt", Paragraph::OtherReceipt),
     kNamed,
     1,
     false,
     Shown::InDoubt,
     {V::BookedNotNamed, V::WrongReceipt}},
    {"in doubt, paragraph names another number, not booked",
     host(4, "in-doubt", Paragraph::OtherReceipt),
     kNamed,
     0,
     false,
     Shown::InDoubt,
     {V::WrongReceipt}},
    {"in doubt, trace locked by another process, no line",
     locked(kDoubt, "QelConnect.trace"),
     {},
     1,
     false,
     Shown::InDoubt,
     {}},
    {"in doubt, log locked by another process, no trace line",
     locked(kDoubt, "QelConnect.log"),
     {},
     1,
     false,
     Shown::InDoubt,
     {V::BookedNotNamed}},
    {"in doubt, trace says failed", kDoubt, {"failed", false, true}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, not listed", kDoubt, {"in-doubt", false, false}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, booked twice", kDoubt, kNamed, 2, false, Shown::InDoubt, {V::BookedTwice}},
    {"killed, sending alone, listed, booked", kKilled, {"", true, true}, 1, false, Shown::InDoubt, {}},
    {"killed, sending alone, not listed", kKilled, {"", true, false}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"killed before sending", kKilled, {}, 0, false, Shown::NotPaid, {}},
    {"killed before sending, booked", kKilled, {}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"killed after accepted", kKilled, {"accepted"}, 1, false, Shown::Paid, {}},
    {"killed after not printed", kKilled, {"accepted-not-printed"}, 1, false, Shown::Paid, {}},
    {"killed after refused, booked", kKilled, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    // An exit code whose outcome says otherwise, or no report at all.
    {"exit 0 without accepted", host(0), {"accepted"}, 1, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 0, in doubt", host(0, "in-doubt"), {"accepted"}, 1, false, Shown::HostBroken, {V::HostBroken}},
    {"confirmed by the operator", host(0, "operator-confirmed"), {}, 1, false, Shown::Paid, {}},
    {"exit 5, refused", host(5, "refused"), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 0, cancelled", host(0, "cancelled"), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 0, failed", host(0, "failed"), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 0, sending", host(0, "sending"), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 1, accepted", host(1, "accepted"), {}, 1, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 1, in doubt", host(1, "in-doubt"), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"exit 4, refused", host(4, "refused"), kNamed, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"no report", HostView{}, {}, 0, false, Shown::HostBroken, {V::HostBroken}},
    {"wrong command line", host(2), {}, 0, false, Shown::HostBroken, {V::HostBroken}},
};

TEST(Reconciliation, EachEndingIsJudgedByItsPromise) {
  for (const Row& row : kRows) {
    Transaction t;
    t.receipt = kReceipt;
    t.host = row.host;
    t.trace = row.trace;
    t.booked = row.booked;
    t.refund = row.refund;
    EXPECT_EQ(shownAs(t), row.shown) << row.name;
    EXPECT_EQ(violationsOf(t), row.violations) << row.name;
  }
}

// The retry round: who is sold again, with which answers, and when it is
// settled (shown as paid and booked exactly once).
TEST(Reconciliation, RetryRoundAnswersByTheLedgerAndMustSettle) {
  const struct {
    const char* name;
    HostView host;
    TraceView trace;
    bool refund;
    bool needsRetry;
    const char* answersBooked;    // when the ledger holds the receipt
    const char* answersUnbooked;  // when it does not
  } rows[] = {
      {"paid", kPaid, {"accepted"}, false, false, "ok,ok", "ok,ok"},
      {"booked, not printed", host(5, "accepted-not-printed"), {}, false, false, "ok,ok", "ok,ok"},
      {"not paid", kNotPaid, {"refused"}, false, true, "ok,ok", "ok,ok"},
      {"sale in doubt", kDoubt, kNamed, false, true, "ok,yes,ok", "ok,no,ok"},
      {"refund in doubt", kDoubt, kNamed, true, true, "yes,ok", "no,ok"},
      {"killed, sending alone", kKilled, {"", true, true}, false, true, "ok,yes,ok", "ok,no,ok"},
      {"killed after accepted", kKilled, {"accepted"}, false, false, "ok,ok", "ok,ok"},
      {"broken host", host(2), {}, false, true, "ok,ok", "ok,ok"},
  };
  for (const auto& row : rows) {
    Transaction t;
    t.receipt = kReceipt;
    t.refund = row.refund;
    t.host = row.host;
    t.trace = row.trace;
    EXPECT_EQ(needsRetry(t), row.needsRetry) << row.name;
    EXPECT_EQ(retryAnswers(t, true), row.answersBooked) << row.name;
    EXPECT_EQ(retryAnswers(t, false), row.answersUnbooked) << row.name;
  }

  const struct {
    const char* name;
    HostView retry;
    int bookedAfter;
    bool settled;
  } settles[] = {
      {"paid, booked once", kPaid, 1, true},   {"paid, not booked", kPaid, 0, false},
      {"paid, booked twice", kPaid, 2, false}, {"in doubt again", kDoubt, 1, false},
      {"refused", kNotPaid, 1, false},         {"no report", HostView{}, 1, false},
  };
  for (const auto& row : settles) {
    Transaction t;
    t.receipt = kReceipt;
    t.host = kDoubt;
    t.trace = kNamed;
    t.booked = 1;
    t.retried = true;
    t.retry = row.retry;
    t.bookedAfterRetry = row.bookedAfter;
    const auto found = violationsOf(t);
    EXPECT_EQ(std::count(found.begin(), found.end(), V::NotSettled), row.settled ? 0 : 1) << row.name;
  }
}

// qelhost --json's object: its outcome, and the paragraph of a possible
// booking held against the library's own for the transaction's kind and
// receipt.
TEST(Reconciliation, ReadsWhatQelhostReportsInJson) {
  const auto report = [](const char* outcome, const std::wstring& box) {
    const nlohmann::json object = {
        {"exitCode", 4},
        {"returnCode", 0x00040002},
        {"outcome", outcome},
        {"receipt", 500123},
        {"kind", "sale"},
        {"dialogs",
         {{{"caption", "Transaktionsfenster"}, {"text", "Ticket in die Kasse uebertragen?"}, {"answer", "ok"}},
          {{"caption", "Fehler"}, {"text", platform::wideToUtf8(box)}, {"answer", "ok"}}}}};
    return object.dump();
  };
  const auto box = [](TransactionKind kind, std::int32_t receipt) {
    return transferErrorText(L"Unexpected HTTP Status code 503", PossibleBooking{kind, receipt});
  };
  const std::wstring nul = L"HTTP/1.1 500\x00<html>";
  const struct {
    const char* name;
    std::string output;
    bool refund;
    bool read;
    std::string outcome;
    Paragraph paragraph;
  } rows[] = {
      {"own receipt", report("in-doubt", box(TransactionKind::Sale, 500123)), false, true, "in-doubt",
       Paragraph::OwnReceipt},
      {"refund's own receipt", report("in-doubt", box(TransactionKind::Refund, 500123)), true, true, "in-doubt",
       Paragraph::OwnReceipt},
      {"a refund's words for a sale", report("in-doubt", box(TransactionKind::Refund, 500123)), false, true, "in-doubt",
       Paragraph::OtherReceipt},
      {"the order id", report("in-doubt", box(TransactionKind::Sale, 1500123)), false, true, "in-doubt",
       Paragraph::OtherReceipt},
      {"one digit more", report("in-doubt", box(TransactionKind::Sale, 5001230)), false, true, "in-doubt",
       Paragraph::OtherReceipt},
      {"a visible NUL before it",
       report("in-doubt", transferErrorText(nul, PossibleBooking{TransactionKind::Sale, 500123})), false, true,
       "in-doubt", Paragraph::OwnReceipt},
      {"no paragraph", report("refused", transferErrorText(L"Unexpected HTTP Status code 404", std::nullopt)), false,
       true, "refused", Paragraph::None},
      {"accepted", R"({"exitCode":0,"outcome":"accepted","receipt":5,"kind":"sale","dialogs":[]})", false, true,
       "accepted", Paragraph::None},
      {"no outcome",
       R"({"exitCode":2,"outcome":null,"receipt":null,"kind":null,"dialogs":[]})"
       "\n",
       false, true, "", Paragraph::None},
      {"odd dialogs", R"({"exitCode":1,"outcome":"refused","dialogs":[{"text":7},"x"]})", false, true, "refused",
       Paragraph::None},
      {"no JSON", "qelhost: cannot read the order file\n", false, false, "", Paragraph::None},
      {"nothing", "", false, false, "", Paragraph::None},
  };
  for (const auto& row : rows) {
    Transaction t;
    t.receipt = 500123;
    t.refund = row.refund;
    EXPECT_EQ(readHostReport(row.output, t), row.read) << row.name;
    EXPECT_EQ(t.host.reported, row.read) << row.name;
    EXPECT_EQ(t.host.outcome, row.outcome) << row.name;
    EXPECT_EQ(t.host.paragraph, row.paragraph) << row.name;
  }
}

// The readers of the trace listing on qelhost trace's own JSON Lines, over
// a rotated pair of files: every transaction once, with its outcome
// wherever its lines ended up.
TEST(Reconciliation, ReadsQelhostsOwnTraceListing) {
  const auto line = [](const char* id, int receipt, const char* outcome) {
    return std::string("{\"time\":\"2026-12-07T10:00:00.000Z\",\"id\":\"") + id +
           "\",\"kind\":\"sale\",\"receipt\":" + std::to_string(receipt) + ",\"outcome\":\"" + outcome + "\"}\n";
  };
  test::ScratchDir dir;
  std::ofstream("QelConnect.trace.1", std::ios::binary)
      << line("a", 1, "sending") << line("b", 2, "sending") << line("b", 2, "accepted") << line("c", 3, "sending")
      << line("d", 4, "sending");
  std::ofstream("QelConnect.trace", std::ios::binary)
      << line("a", 1, "accepted") << line("d", 4, "in-doubt") << line("e", 5, "sending") << line("e", 5, "refused")
      << "{\"id\":\"f\",\"receipt\":6,\"outc";
  std::ostringstream all, inDoubt, err;
  ASSERT_TRUE(qelhost::printTraceJson({}, all, err));
  qelhost::TraceQuery query;
  query.inDoubtOnly = true;
  ASSERT_TRUE(qelhost::printTraceJson(query, inDoubt, err));

  const auto views = readTraceListing(all.str());
  const std::map<std::int64_t, std::pair<std::string, bool>> expected = {{1, {"accepted", false}},
                                                                         {2, {"accepted", false}},
                                                                         {3, {"", true}},
                                                                         {4, {"in-doubt", false}},
                                                                         {5, {"refused", false}}};
  std::map<std::int64_t, std::pair<std::string, bool>> read;
  for (const auto& [receipt, view] : views) read[receipt] = {view.outcome, view.sendingAlone};
  EXPECT_EQ(read, expected) << all.str();
  EXPECT_EQ(receiptsListed(inDoubt.str()), (std::set<std::int64_t>{3, 4})) << inDoubt.str();
}

// The whole table: faults by kind, each transaction under its proxy's fault
// and again under a kill or a held lock, the outcomes, the locks and every
// violation with its receipt.
TEST(Reconciliation, TableCountsViolationsAndUnsoldBookings) {
  Totals totals;
  totals.faults = {{"pass", 2}, {"503", 1}};
  Transaction paid;
  paid.receipt = 7;
  paid.host = kPaid;
  paid.booked = 1;
  paid.fault = "pass";
  Transaction lost = paid;
  lost.receipt = 8;
  lost.booked = 0;
  lost.fault = "";
  Transaction doubt;
  doubt.receipt = 9;
  doubt.host = locked(kDoubt, "QelConnect.log");
  doubt.host.lockMs = 700;
  doubt.host.milliseconds = 1200;
  doubt.trace = kNamed;
  doubt.booked = 1;
  doubt.fault = "503";
  Transaction gone;
  gone.receipt = 10;
  gone.refund = true;
  gone.host = kKilled;
  gone.trace = {"", true, true};
  gone.booked = 1;
  gone.fault = "pass";
  totals.transactions = {paid, lost, doubt, gone};
  totals.unsoldBookings = {99};
  std::ostringstream out;
  EXPECT_EQ(printReconciliation(totals, out), 2);
  EXPECT_EQ(out.str(),
            "faults injected (per connection)\n"
            "  503                                            1\n"
            "  pass                                           2\n"
            "faults and what the box office was shown     count    paid  not paid  in doubt  broken  booked\n"
            "  (no request seen)                              1       1         0         0       0       0\n"
            "  + QelConnect.log locked by another             1       0         0         1       0       1\n"
            "  + host killed in the transfer                  1       0         0         1       0       1\n"
            "  503                                            1       0         0         1       0       1\n"
            "  pass                                           2       1         0         1       0       2\n"
            "outcomes                                    count  booked\n"
            "  refund killed, sending line alone              1       1\n"
            "  sale shown as paid                             2       1\n"
            "  sale shown in doubt                            1       1\n"
            "locks held by another process               count  longest hold, ms  longest run, ms\n"
            "  QelConnect.log                                 1               700             1200\n"
            "violations\n"
            "  shown as paid, not booked exactly once               1\n"
            "  shown as not paid and not in doubt, but booked       0\n"
            "  booked, not shown as paid, not named in doubt        0\n"
            "  booked more than once                                0\n"
            "  booked, but sold by nobody                           1\n"
            "  host could not run the transaction                   0\n"
            "  in-doubt paragraph names another receipt             0\n"
            "  receipt 8 (sale, fault unseen, exit 0, outcome accepted, trace none, booked 0): shown as paid, not "
            "booked exactly once\n"
            "  receipt 99: booked, but sold by nobody\n");
}

// With the retry round: its table by the operator's answers, and a
// transaction that did not settle among the violations.
TEST(Reconciliation, TableOfTheRetryRound) {
  Totals totals;
  totals.retryRound = true;
  Transaction settled;
  settled.receipt = 7;
  settled.host = kDoubt;
  settled.trace = kNamed;
  settled.booked = 1;
  settled.retried = true;
  settled.retryAnswers = "ok,yes,ok";
  settled.retry = kPaid;
  settled.bookedAfterRetry = 1;
  Transaction twice = settled;
  twice.receipt = 8;
  twice.booked = 0;
  twice.retryAnswers = "ok,no,ok";
  twice.bookedAfterRetry = 2;
  totals.transactions = {settled, twice};
  std::ostringstream out;
  EXPECT_EQ(printReconciliation(totals, out), 1);
  EXPECT_EQ(out.str(),
            "faults injected (per connection)\n"
            "faults and what the box office was shown     count    paid  not paid  in doubt  broken  booked\n"
            "  (no request seen)                              2       0         0         2       0       1\n"
            "outcomes                                    count  booked\n"
            "  sale shown in doubt                            2       1\n"
            "locks held by another process               count  longest hold, ms  longest run, ms\n"
            "retry round, by the operator's answers       count    paid  booked once\n"
            "  sale ok,no,ok                                  1       1            0\n"
            "  sale ok,yes,ok                                 1       1            1\n"
            "violations\n"
            "  shown as paid, not booked exactly once               0\n"
            "  shown as not paid and not in doubt, but booked       0\n"
            "  booked, not shown as paid, not named in doubt        0\n"
            "  booked more than once                                0\n"
            "  booked, but sold by nobody                           0\n"
            "  host could not run the transaction                   0\n"
            "  in-doubt paragraph names another receipt             0\n"
            "  after the retry, not paid and booked once            1\n"
            "  receipt 8 (sale, fault unseen, exit 4, outcome in-doubt, paragraph names its receipt, trace in-doubt, "
            "booked 0; retried with ok,no,ok: exit 0, outcome accepted, booked 2): after the retry, not paid and "
            "booked once\n");
}

class EvidenceTest : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("reconcile-evidence-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
};

// The lock reconcile holds against a host is the one the library's writers
// take: while it is held, the library's own append gives up as Locked and
// leaves the file as it was; once it is gone, the append goes through. A
// file that does not exist is not created and holds nothing.
TEST_F(EvidenceTest, FileLockIsTheWritersLock) {
  const std::string trace = file("QelConnect.trace", "line\n");
  {
    const FileLock lock(trace);
    ASSERT_TRUE(lock.held());
    EXPECT_EQ(platform::appendToFile(trace, "more\n").status, platform::FileWrite::Locked);
  }
  EXPECT_EQ(platform::appendToFile(trace, "more\n").status, platform::FileWrite::Ok);
  std::ifstream in(trace, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "line\nmore\n");

  const std::string missing = (dir_ / "QelConnect.log").string();
  EXPECT_FALSE(FileLock(missing).held());
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(EvidenceTest, LedgerAndProxyLog) {
  const auto booked = readLedger(file("ledger", R"({"receipt":10,"order":1}
{"receipt":10,"order":1}
{"receipt":11}
{"receipt":12,"ord
)"));
  EXPECT_EQ(booked, (std::map<std::int64_t, int>{{10, 2}, {11, 1}}));

  std::map<std::string, int> faults;
  std::map<std::int64_t, std::string> faultOf;
  readProxyLog(file("proxy", R"({"connection":0,"fault":"refuse","receipt":null}
{"connection":1,"fault":"502","receipt":10}
{"connection":2,"fault":"502","receipt":11}
)"),
               faults, faultOf);
  EXPECT_EQ(faults, (std::map<std::string, int>{{"502", 2}, {"refuse", 1}}));
  EXPECT_EQ(faultOf, (std::map<std::int64_t, std::string>{{10, "502"}, {11, "502"}}));

  const std::string table =
      R"({"id":"a","kind":"sale","receipt":500003,"outcome":"sending","time":"2024-05-01T10:15:02.123Z"}
{"id":"b","kind":"refund","receipt":500004,"outcome":"in-doubt","time":"2024-05-01T10:15:03.123Z"}
{"id":null,"kind":"sale","receipt":null,"outcome":"in-doubt","time":null}
{"id":"c","kind":"sale","recei
)";
  EXPECT_EQ(receiptsListed(table), (std::set<std::int64_t>{500003, 500004}));
}

}  // namespace
}  // namespace qel::reconcile
