// Points in time as UTC texts, computed from the clock's count alone: the
// same text on every runtime, whatever its time-zone settings.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

// "2026-12-07T14:32:05.123Z" for `unixMs` milliseconds after 1970-01-01
// 00:00 UTC: ISO 8601 in UTC with milliseconds.
std::string isoUtc(std::int64_t unixMs);

}  // namespace qel
