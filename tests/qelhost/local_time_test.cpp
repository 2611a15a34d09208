// The trace's times in local time and the local times of --since and
// --until, in the zone of Berlin (TZ set by the test's environment): winter
// and summer time, the day summer time starts, and texts one past each limit.
#include "tools/qelhost/local_time.h"

#include <gtest/gtest.h>

#include <string>

namespace qel::qelhost {
namespace {

TEST(LocalTime, ShowsUtcInLocalTime) {
  const struct {
    std::int64_t ms;
    const char* local;
  } cases[] = {
      {1796650320000, "2026-12-07 14:32:00"},  // winter: UTC+1
      {1782907200000, "2026-07-01 14:00:00"},  // summer: UTC+2
      {1796686200000, "2026-12-08 00:30:00"},  // the next day, after midnight
      {-500, "1970-01-01 00:59:59"},
  };
  for (const auto& c : cases) EXPECT_EQ(localTimeText(c.ms), c.local) << c.ms;
}

TEST(LocalTime, ReadsLocalTimesAsSpans) {
  const std::int64_t now = 1796650320000;  // 2026-12-07 14:32 in Berlin
  const struct {
    const char* text;
    std::int64_t first;
    std::int64_t last;
  } accepted[] = {
      {"2026-12-07 14:32", 1796650320000, 1796650380000},
      {"2026-12-07T14:32", 1796650320000, 1796650380000},
      {"2026-12-07 14:32:05", 1796650325000, 1796650326000},
      {"14:32", 1796650320000, 1796650380000},
      {"2026-12-07", 1796598000000, 1796684400000},
      // Summer time starts: the day has 23 hours.
      {"2026-03-29", 1774738800000, 1774821600000},
  };
  for (const auto& c : accepted) {
    const std::optional<LocalSpan> span = parseLocalTime(c.text, now);
    ASSERT_TRUE(span.has_value()) << c.text;
    EXPECT_EQ(span->first, c.first) << c.text;
    EXPECT_EQ(span->last, c.last) << c.text;
  }
  for (const char* refused : {"24:00", "14:60", "14:32:60", "14.32", "1432", "2026-12-07 ", "2026-12-07X14:32",
                              "2026-12-32", "2026-00-07", "1969-12-31", "2026-12-07 14:32:05.1", "", "14:32 "}) {
    EXPECT_FALSE(parseLocalTime(refused, now).has_value()) << refused;
  }
}

}  // namespace
}  // namespace qel::qelhost
