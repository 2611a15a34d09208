// Points in time as UTC texts, computed from the clock's count alone: the
// same text on every runtime, whatever its time-zone settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// "2026-12-07T14:32:05.123Z" for `unixMs` milliseconds after 1970-01-01
// 00:00 UTC: ISO 8601 in UTC with milliseconds.
std::string isoUtc(std::int64_t unixMs);

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar
// (Howard Hinnant's days_from_civil), the inverse of what isoUtc writes.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);

// The milliseconds of a text that isoUtc wrote for a year from 0 to 9999,
// or of one like it with a shorter fraction or none ("...T14:32:05Z");
// nullopt for any other text.
std::optional<std::int64_t> parseIsoUtc(std::string_view text);

}  // namespace qel
