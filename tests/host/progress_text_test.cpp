// The progress window's text: the seconds begun out of the time limit, which
// it never passes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/operator_dialogs.h"

namespace qel {
namespace {

TEST(TransferProgressText, CountsTheSecondsBegunUpToTheLimit) {
  const struct {
    std::int64_t elapsedMs;
    const wchar_t* text;
  } cases[] = {
      {500, L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)"},
      {1000, L"\u00dcbertragung an die Kasse \u2026 (1 von 6 s)"},
      {1001, L"\u00dcbertragung an die Kasse \u2026 (2 von 6 s)"},
      {6000, L"\u00dcbertragung an die Kasse \u2026 (6 von 6 s)"},
      {6001, L"\u00dcbertragung an die Kasse \u2026 (6 von 6 s)"},
  };
  for (const auto& c : cases) EXPECT_EQ(transferProgressText(c.elapsedMs), c.text) << c.elapsedMs << " ms";
}

}  // namespace
}  // namespace qel
