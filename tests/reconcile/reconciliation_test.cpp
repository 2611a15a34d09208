// The three promises, one row per way a transaction can end, and the
// evidence readers on the lines a run leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "host/operator_dialogs.h"
#include "platform/platform.h"
#include "tools/reconcile/evidence.h"
#include "tools/reconcile/reconciliation.h"

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

HostView host(int exitCode, bool resultFilled = false, std::optional<std::int64_t> paragraph = std::nullopt) {
  HostView view;
  view.exitCode = exitCode;
  view.resultFilled = resultFilled;
  view.doubtReceipt = paragraph;
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

const HostView kPaid = host(0, true);
const HostView kNotPaid = host(1);
const HostView kDoubt = host(4, false, kReceipt);
const HostView kKilled = killed();
const TraceView kNamed{"in-doubt", false, true};

const Row kRows[] = {
    {"paid and booked", kPaid, {"accepted"}, 1, false, Shown::Paid, {}},
    {"paid, not booked", kPaid, {"accepted"}, 0, false, Shown::Paid, {V::PaidNotBookedOnce}},
    {"paid, booked twice", kPaid, {"accepted"}, 2, false, Shown::Paid, {V::PaidNotBookedOnce, V::BookedTwice}},
    {"paid without a result record", host(0), {"accepted"}, 1, false, Shown::HostBroken, {V::HostBroken}},
    {"refund done has no record", host(0), {"accepted"}, 1, true, Shown::Paid, {}},
    {"not paid, not booked", kNotPaid, {"failed"}, 0, false, Shown::NotPaid, {}},
    {"not paid, booked", kNotPaid, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"in doubt everywhere, booked", kDoubt, kNamed, 1, false, Shown::InDoubt, {}},
    {"in doubt everywhere, not booked", kDoubt, kNamed, 0, false, Shown::InDoubt, {}},
    {"in doubt, no paragraph", host(4), kNamed, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, paragraph names the order id",
     host(4, false, kReceipt + 1000000),
     kNamed,
     1,
     false,
     Shown::InDoubt,
     {V::BookedNotNamed, V::WrongReceipt}},
    {"in doubt, paragraph names another receipt, not booked",
     host(4, false, kReceipt - 1),
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
    {"killed after refused, booked", kKilled, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
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

// The paragraph as the library writes it into the error box, for each kind,
// and texts that only look like it.
TEST(Reconciliation, ParagraphReceiptIsReadFromTheLibrarysOwnText) {
  const auto boxText = [](TransactionKind kind, std::int32_t receipt) {
    return platform::wideToUtf8(transferErrorText(L"HTTP 502: Bad Gateway", PossibleBooking{kind, receipt}));
  };
  const struct {
    std::string shown;
    std::optional<std::int64_t> receipt;
  } rows[] = {
      {boxText(TransactionKind::Sale, 500123), 500123},
      {boxText(TransactionKind::Refund, 2147483647), 2147483647},
      {"  text:    Dialog 2:\n  " + boxText(TransactionKind::Sale, 7) + "\n  answer:  OK\n", 7},
      {platform::wideToUtf8(transferErrorText(L"HTTP 502: Bad Gateway", std::nullopt)), std::nullopt},
      {"Die Kasse hat Beleg  m\xC3\xB6glicherweise schon gebucht", -1},
      {"Die Kasse hat Beleg 12x m\xC3\xB6glicherweise schon gebucht", -1},
      {"Beleg 5: die Kasse hat ihn m\xC3\xB6glicherweise schon gebucht", -1},
      {"", std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(receiptInDoubt(row.shown), row.receipt) << row.shown;
}

// qelhost --json's last line, whatever came before it, and the listing of
// qelhost trace --json, each with its receipts and outcomes.
TEST(Reconciliation, ReadsWhatQelhostReportsInJson) {
  const std::string box =
      platform::wideToUtf8(transferErrorText(L"HTTP 502: Bad Gateway", PossibleBooking{TransactionKind::Sale, 500123}));
  const nlohmann::json inDoubt = {
      {"exitCode", 4},
      {"returnCode", 0x00040002},
      {"outcome", "in-doubt"},
      {"receipt", 500123},
      {"kind", "sale"},
      {"dialogs",
       {{{"caption", "Transaktionsfenster"}, {"text", "Ticket in die Kasse uebertragen?"}, {"answer", "ok"}},
        {{"caption",
          "Fehler bei Daten\xC3\xBC"
          "bertragung"},
         {"text", box},
         {"answer", "ok"}}}}};
  const struct {
    std::string output;
    bool read;
    std::string outcome;
    std::optional<std::int64_t> doubtReceipt;
  } rows[] = {
      {"Dialog 1:\n  text: Die Kasse hat Beleg 7 m\xC3\xB6glicherweise schon gebucht\n" + inDoubt.dump() + "\n", true,
       "in-doubt", 500123},
      {R"({"exitCode":0,"outcome":"accepted","receipt":5,"kind":"sale","dialogs":[]})", true, "accepted", std::nullopt},
      {R"({"exitCode":2,"outcome":null,"receipt":null,"kind":null,"dialogs":[]})"
       "\n\n",
       true, "", std::nullopt},
      {R"({"exitCode":1,"outcome":"refused","dialogs":[{"text":7},"x"]})", true, "refused", std::nullopt},
      {"qelhost: cannot read the order file\n", false, "", std::nullopt},
      {"", false, "", std::nullopt},
  };
  for (const auto& row : rows) {
    HostView host;
    EXPECT_EQ(readHostReport(row.output, host), row.read) << row.output;
    EXPECT_EQ(host.outcome, row.outcome) << row.output;
    EXPECT_EQ(host.doubtReceipt, row.doubtReceipt) << row.output;
  }

  const auto views = readTraceListing(
      R"({"id":"a","kind":"sale","receipt":1,"outcome":"accepted","time":"t","httpStatus":200,"message":""}
{"id":"b","kind":"sale","receipt":2,"outcome":"sending","time":"t","httpStatus":null,"message":null}
{"id":"c","kind":"refund","receipt":3,"outcome":"in-doubt","time":"t","httpStatus":502,"message":"m"}
{"id":"d","kind":"sale","receipt":null,"outcome":"failed"}
{"id":"e","kind":"sale","receipt":4,"outcome":null}
not json
)");
  ASSERT_EQ(views.size(), 4u);
  EXPECT_EQ(views.at(1).outcome, "accepted");
  EXPECT_FALSE(views.at(1).sendingAlone);
  EXPECT_EQ(views.at(2).outcome, "");
  EXPECT_TRUE(views.at(2).sendingAlone);
  EXPECT_EQ(views.at(3).outcome, "in-doubt");
  EXPECT_EQ(views.at(4).outcome, "");
  EXPECT_FALSE(views.at(4).sendingAlone);
}

TEST(Reconciliation, TableCountsViolationsAndUnsoldBookings) {
  Totals totals;
  totals.faults = {{"pass", 2}};
  Transaction paid;
  paid.receipt = 7;
  paid.host = kPaid;
  paid.booked = 1;
  Transaction lost = paid;
  lost.receipt = 8;
  lost.booked = 0;
  totals.transactions = {paid, lost};
  totals.unsoldBookings = {99};
  std::ostringstream out;
  EXPECT_EQ(printReconciliation(totals, out), 2);
  const std::string table = out.str();
  EXPECT_NE(table.find("  sale shown as paid                             2       1\n"), std::string::npos) << table;
  EXPECT_NE(table.find("  receipt 8 (sale, fault unseen, exit 0, trace none, booked 0): shown as paid, not booked "
                       "exactly once\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("  receipt 99: booked, but sold by nobody\n"), std::string::npos) << table;
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

TEST_F(EvidenceTest, SendingLineIsAloneOnlyWithoutItsOutcome) {
  const std::string older = file("trace.1", R"({"id":"a","receipt":1,"outcome":"sending"}
{"id":"a","receipt":1,"outcome":"accepted"}
)");
  const std::string newer = file("trace", R"({"id":"b","receipt":2,"outcome":"sending"}
{"id":"c","receipt":3,"outcome":"sending"}
{"id":"x","receipt":3,"outcome":"in-doubt"}
{"id":"d","receipt":4,"outc
{"receipt":5,"outcome":"refused"}
{"id":"e","outcome":"failed"}
{"id":"f","receipt":"6","outcome":"failed"}
)");
  const auto views = readTrace({older, newer, file("missing-never-written", "")});
  ASSERT_EQ(views.size(), 4u);
  EXPECT_EQ(views.at(1).outcome, "accepted");
  EXPECT_FALSE(views.at(1).sendingAlone);
  EXPECT_EQ(views.at(2).outcome, "");
  EXPECT_TRUE(views.at(2).sendingAlone);
  EXPECT_EQ(views.at(3).outcome, "in-doubt");
  EXPECT_TRUE(views.at(3).sendingAlone);  // its own outcome line is missing
  EXPECT_EQ(views.at(5).outcome, "refused");
}

TEST_F(EvidenceTest, LedgerProxyLogAndListedReceipts) {
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
      "time                     kind      receipt      total  outcome              message\n"
      "2024-05-01T10:15:02.123Z sale       500003      12.00  in-doubt             No outcome was recorded\n"
      "2024-05-01T10:15:03.123Z refund     500004       1.00  in-doubt\n";
  EXPECT_EQ(receiptsListed(table), (std::set<std::int64_t>{500003, 500004}));
}

}  // namespace
}  // namespace qel::reconcile
