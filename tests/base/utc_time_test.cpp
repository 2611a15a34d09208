// UTC texts from clock counts: the calendar's turns (leap days, century
// years, the year's end) and the milliseconds, without the C runtime.
#include "base/utc_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

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
    EXPECT_EQ(parseIsoUtc(c.text), c.ms) << c.text;
  }
}

// Every millisecond of a few years round-trips by the day; texts of any
// other shape, or dates the calendar lacks, are refused.
TEST(UtcTime, ParsingTakesBackWhatWasWrittenAndNothingElse) {
  for (std::int64_t ms = -86400000LL * 800; ms < 86400000LL * 20000; ms += 86400000LL * 7 + 3601001) {
    EXPECT_EQ(parseIsoUtc(isoUtc(ms)), ms) << isoUtc(ms);
  }
  const char* refused[] = {
      "",
      "2026-12-07T13:00:00.007",
      "2026-12-07T13:00:00.007ZZ",
      "2026-12-07 13:00:00.007Z",
      "2026-12-07T13:00:00,007Z",
      "2026-13-07T13:00:00.007Z",
      "2026-00-07T13:00:00.007Z",
      "2026-04-31T13:00:00.007Z",
      "2100-02-29T13:00:00.007Z",
      "2026-12-00T13:00:00.007Z",
      "2026-12-07T24:00:00.007Z",
      "2026-12-07T13:60:00.007Z",
      "2026-12-07T13:00:60.007Z",
      "2026-12-07T13:00:00.0a7Z",
      "+026-12-07T13:00:00.007Z",
      "2026-12-07T13:00:00.0071Z",
      "2026-12-07T13:00:00.Z",
      "2026-12-07T13:00:00Z0",
      "2026-12-07T13:00:00",
      "cut off",
  };
  for (const char* text : refused) EXPECT_EQ(parseIsoUtc(text), std::nullopt) << text;
  EXPECT_EQ(parseIsoUtc("2000-02-29T00:00:00.000Z"), 951782400000);
  EXPECT_EQ(parseIsoUtc("2026-12-31T23:59:59.999Z"), 1798761599999);
}

// Times written with a shorter fraction, or none, as older traces hold them.
TEST(UtcTime, ShorterFractionsAreTenthsAndHundredths) {
  const struct {
    const char* text;
    std::int64_t ms;
  } cases[] = {
      {"2026-12-07T14:32:05Z", 1796653925000},
      {"2026-12-07T14:32:05.1Z", 1796653925100},
      {"2026-12-07T14:32:05.12Z", 1796653925120},
      {"1969-12-31T23:59:59.5Z", -500},
  };
  for (const auto& c : cases) EXPECT_EQ(parseIsoUtc(c.text), c.ms) << c.text;
}

}  // namespace
}  // namespace qel
