// The progress window of a slow transfer, the same cases on both targets:
// natively as the dialog seam reports it, under Wine as the real window
// shows and goes. A transfer that answers at once shows nothing; a slow one
// shows the window over the host's window after half a second and takes it
// away before the next box.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/host/flow_fixture.h"
#include "tests/render/golden_documents.h"

namespace qel::test {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kFirstSecond[] = L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)";

struct ProgressCase {
  const char* name;
  bool refund;
  std::chrono::milliseconds delay;
  int status;
  std::int32_t code;
  std::vector<int> answers;
  // The boxes in all, and how many came before the window (none: no window).
  std::size_t boxes;
  std::optional<std::size_t> windowAfterBoxes;
};

// CTest names each case by what gtest prints of it.
void PrintTo(const ProgressCase& c, std::ostream* out) { *out << c.name; }

class TransferProgress : public FlowTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(TransferProgress, ShowsOnlyForASlowTransferAndGoesBeforeTheNextBox) {
  const ProgressCase& c = GetParam();
  slowKasse(c.delay, httpResponse(c.status, kasseAnswer("0", "OK")));
  const auto refundRecord = refundExample();
  const std::int32_t code = c.refund ? refund(refundRecord.data()) : sell(smallSale(), c.answers);

  EXPECT_EQ(code, c.code);
  EXPECT_EQ(dialogs().size(), c.boxes);
  if (!c.windowAfterBoxes) {
    EXPECT_TRUE(progress_.empty());
    return;
  }
  ASSERT_EQ(progress_.size(), 2u);
  for (const boxoffice::ProgressReport& report : progress_) {
    EXPECT_EQ(report.caption, kTransaction);
    EXPECT_EQ(report.owner, owner());
    EXPECT_EQ(report.boxesBefore, *c.windowAfterBoxes) << "no box while the window shows";
  }
  EXPECT_TRUE(progress_[0].shown);
  EXPECT_EQ(progress_[0].text, kFirstSecond);
  EXPECT_FALSE(progress_[1].shown);
}

INSTANTIATE_TEST_SUITE_P(
    BothTransfers, TransferProgress,
    ::testing::Values(ProgressCase{"SaleAnsweredAtOnce", false, 0ms, 200, 0, {kIdOk, kIdOk}, 2, std::nullopt},
                      ProgressCase{"SaleAnsweredAfterTwoSeconds", false, 2000ms, 200, 0, {kIdOk, kIdOk}, 2, 1},
                      ProgressCase{"RefundAnsweredAtOnce", true, 0ms, 200, 0, {}, 0, std::nullopt},
                      ProgressCase{"RefundRefusedAfterTwoSeconds", true, 2000ms, 500, kNotCompleted, {}, 1, 0}),
    [](const ::testing::TestParamInfo<ProgressCase>& info) { return info.param.name; });

}  // namespace
}  // namespace qel::test
