// When a transfer takes its turns and shows its progress window, on a test
// clock: the turn interval, the delay before the window and the seconds of
// its text, each at its limit and one short of it, as the dialog seam of the
// development library reports the window.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/operator_dialogs.h"
#include "host/qelconnect.h"
#include "platform/platform.h"
#include "tests/support/test_clock.h"

namespace qel {
namespace {

// The clock's reading when the transfer starts: not 0, so that a window
// timed from the clock's origin instead of the start shows too early.
constexpr std::int64_t kStart = 86400000;

struct Report {
  unsigned int type;
  std::wstring caption;
  std::wstring text;
  void* owner;
};
std::vector<Report> reports;

int record(void* owner, const wchar_t* text, const wchar_t* caption, unsigned int type) {
  reports.push_back({type, caption, text, owner});
  return 0;
}

struct TimingCase {
  const char* name;
  // The clock's readings (ms after the start) at which the transfer asks
  // for a turn.
  std::vector<std::int64_t> turns;
  // The reading at which the window shows (-1: never), and its text.
  std::int64_t shownAt;
  const wchar_t* text;
};

TEST(TransferTiming, TurnsAndTheWindowFollowTheClock) {
  const wchar_t* const none = L"";
  const TimingCase cases[] = {
      // A turn at 450 ms; the next one 50 ms later is the first at which the
      // half second has passed.
      {"ShownAtTheDelay", {450, 500}, 500, L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)"},
      {"NotShownOneMillisecondBefore", {449, 499}, -1, none},
      // 49 ms after a turn is too early for the next; 50 ms is not.
      {"NoTurnWithin49Ms", {451, 500, 501}, 501, L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)"},
      // The text counts the seconds begun since the start, up to the limit.
      {"TextAtOneSecond", {1000}, 1000, L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)"},
      {"TextJustPastOneSecond", {1001}, 1001, L"\u00dcbertragung an die Kasse \u2026 (2 von 6 s)"},
      {"TextAtTheLimit", {6000}, 6000, L"\u00dcbertragung an die Kasse \u2026 (6 von 6 s)"},
      {"TextPastTheLimit", {9001}, 9001, L"\u00dcbertragung an die Kasse \u2026 (6 von 6 s)"},
  };
  qelSetDialogHandler(&record);
  for (const TimingCase& c : cases) {
    SCOPED_TRACE(c.name);
    reports.clear();
    void* const owner = &reports;
    {
      test::TestClock clock(kStart);
      const platform::TransferProgress progress = transferProgress(owner);
      for (const std::int64_t at : c.turns) {
        clock.set(kStart + at);
        platform::keepTransferAlive();
        EXPECT_EQ(reports.size(), c.shownAt >= 0 && at >= c.shownAt ? 1u : 0u) << at << " ms";
      }
    }
    if (c.shownAt < 0) {
      EXPECT_TRUE(reports.empty());
      continue;
    }
    ASSERT_EQ(reports.size(), 2u);
    for (const Report& r : reports) {
      EXPECT_EQ(r.caption, L"Transaktionsfenster");
      EXPECT_EQ(r.text, c.text);
      EXPECT_EQ(r.owner, owner);
    }
    EXPECT_EQ(reports[0].type, QEL_DIALOG_PROGRESS_SHOWN);
    EXPECT_EQ(reports[1].type, QEL_DIALOG_PROGRESS_HIDDEN);
  }
  qelSetDialogHandler(nullptr);
}

}  // namespace
}  // namespace qel
