// UTC texts from clock counts: the calendar's turns (leap days, century
// years, the year's end) and the milliseconds, without the C runtime.
#include "base/utc_time.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qel {
namespace {

TEST(UtcTime, CalendarTurnsAndMilliseconds) {
  struct Case {
    std::int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {951782400000 - 1, "2000-02-28T23:59:59.999Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"},
      {4107542400000, "2100-03-01T00:00:00.000Z"},  // 2100 is no leap year
      {1796648400007, "2026-12-07T13:00:00.007Z"},
      {1798761599999, "2026-12-31T23:59:59.999Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isoUtc(c.ms), c.text) << c.ms;
  }
}

}  // namespace
}  // namespace qel
