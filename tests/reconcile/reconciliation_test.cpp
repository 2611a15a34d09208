// The three promises, one row per way a transaction can end, and the
// evidence readers on the lines a run leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

const HostView kPaid{false, 0, true, false};
const HostView kNotPaid{false, 1, false, false};
const HostView kDoubt{false, 4, false, true};
const HostView kKilled{true, 0, false, false};
const TraceView kNamed{"in-doubt", false, true};

const Row kRows[] = {
    {"paid and booked", kPaid, {"accepted"}, 1, false, Shown::Paid, {}},
    {"paid, not booked", kPaid, {"accepted"}, 0, false, Shown::Paid, {V::PaidNotBookedOnce}},
    {"paid, booked twice", kPaid, {"accepted"}, 2, false, Shown::Paid, {V::PaidNotBookedOnce, V::BookedTwice}},
    {"paid without a result record",
     {false, 0, false, false},
     {"accepted"},
     1,
     false,
     Shown::HostBroken,
     {V::HostBroken}},
    {"refund done has no record", {false, 0, false, false}, {"accepted"}, 1, true, Shown::Paid, {}},
    {"not paid, not booked", kNotPaid, {"failed"}, 0, false, Shown::NotPaid, {}},
    {"not paid, booked", kNotPaid, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"in doubt everywhere, booked", kDoubt, kNamed, 1, false, Shown::InDoubt, {}},
    {"in doubt everywhere, not booked", kDoubt, kNamed, 0, false, Shown::InDoubt, {}},
    {"in doubt, no paragraph", {false, 4, false, false}, kNamed, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, trace says failed", kDoubt, {"failed", false, true}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, not listed", kDoubt, {"in-doubt", false, false}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"in doubt, booked twice", kDoubt, kNamed, 2, false, Shown::InDoubt, {V::BookedTwice}},
    {"killed, sending alone, listed, booked", kKilled, {"", true, true}, 1, false, Shown::InDoubt, {}},
    {"killed, sending alone, not listed", kKilled, {"", true, false}, 1, false, Shown::InDoubt, {V::BookedNotNamed}},
    {"killed before sending", kKilled, {}, 0, false, Shown::NotPaid, {}},
    {"killed before sending, booked", kKilled, {}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"killed after accepted", kKilled, {"accepted"}, 1, false, Shown::Paid, {}},
    {"killed after refused, booked", kKilled, {"refused"}, 1, false, Shown::NotPaid, {V::NotPaidButBooked}},
    {"wrong command line", {false, 2, false, false}, {}, 0, false, Shown::HostBroken, {V::HostBroken}},
};

TEST(Reconciliation, EachEndingIsJudgedByItsPromise) {
  for (const Row& row : kRows) {
    Transaction t;
    t.host = row.host;
    t.trace = row.trace;
    t.booked = row.booked;
    t.refund = row.refund;
    EXPECT_EQ(shownAs(t), row.shown) << row.name;
    EXPECT_EQ(violationsOf(t), row.violations) << row.name;
  }
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
      R"({"id":"a","kind":"sale","receipt":500003,"outcome":"sending","time":"2024-05-01T10:15:02.123Z"}
{"id":"b","kind":"refund","receipt":500004,"outcome":"in-doubt","time":"2024-05-01T10:15:03.123Z"}
{"id":null,"kind":"sale","receipt":null,"outcome":"in-doubt","time":null}
{"id":"c","kind":"sale","recei
)";
  EXPECT_EQ(receiptsListed(table), (std::set<std::int64_t>{500003, 500004}));
}

}  // namespace
}  // namespace qel::reconcile
