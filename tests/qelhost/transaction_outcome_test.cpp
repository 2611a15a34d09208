// The outcome and exit code of a run, from the return code and the boxes
// the library showed: each way a sale or refund can end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/qelconnect.h"
#include "tests/support/sale_scenario.h"
#include "tools/qelhost/transaction_outcome.h"

namespace qel::qelhost {
namespace {

using boxoffice::kIdCancel;
using boxoffice::kIdOk;
using boxoffice::ShownDialog;

ShownDialog question(int answer) {
  return {L"Transaktionsfenster", L"?", {kIdOk, kIdCancel}, false, nullptr, 0, answer};
}
ShownDialog errorBox(const std::wstring& text) {
  return {L"Fehler bei Daten\u00fcbertragung", text, {kIdOk}, false, nullptr, 0, kIdOk};
}

TEST(TransactionOutcome, EachEndHasItsOutcomeAndExitCode) {
  const std::wstring failure = L"Unexpected HTTP Status code 502";
  const struct {
    const char* name;
    bool refund;
    std::int32_t code;
    std::vector<ShownDialog> dialogs;
    const char* outcome;  // null: unknown
    int exitCode;
  } cases[] = {
      {"sold and printed", false, QEL_OK, {question(kIdOk), question(kIdOk)}, "accepted", 0},
      {"sold, negative total", false, QEL_OK, {question(kIdOk)}, "accepted", 0},
      {"declined", false, QEL_NOT_COMPLETED, {question(kIdCancel)}, "cancelled", 1},
      {"not printed", false, QEL_NOT_COMPLETED, {question(kIdOk), question(kIdCancel)}, "accepted-not-printed", 5},
      {"in doubt",
       false,
       QEL_NOT_COMPLETED,
       {question(kIdOk), errorBox(failure + test::possiblyBooked(7))},
       "in-doubt",
       4},
      {"paragraph not at the end",
       false,
       QEL_NOT_COMPLETED,
       {question(kIdOk), errorBox(test::possiblyBooked(7) + L"x")},
       nullptr,
       1},
      {"refused or failed", false, QEL_NOT_COMPLETED, {question(kIdOk), errorBox(failure)}, nullptr, 1},
      {"no record", false, QEL_NOT_COMPLETED, {errorBox(L"Invalid call")}, nullptr, 1},
      {"no box", false, QEL_NOT_COMPLETED, {}, nullptr, 1},
      {"refunded", true, QEL_OK, {}, "accepted", 0},
      {"refund in doubt", true, QEL_NOT_COMPLETED, {errorBox(failure + test::possiblyBooked(7, true))}, "in-doubt", 4},
      {"refund refused", true, QEL_NOT_COMPLETED, {errorBox(failure)}, nullptr, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const char* outcome = transactionOutcome(c.refund, c.code, c.dialogs);
    EXPECT_EQ(outcome != nullptr ? std::string(outcome) : "(null)", c.outcome != nullptr ? c.outcome : "(null)");
    EXPECT_EQ(exitCodeOf(outcome, c.code), c.exitCode);
  }
}

}  // namespace
}  // namespace qel::qelhost
