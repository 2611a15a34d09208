// The trace's UTC times in the workstation's local time and back: support is
// told "the sale at 14:32" in the time of the box office, not in UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qel::qelhost {

// "2026-12-07 15:32:05": `unixMs` in the local time zone, to the second.
std::string localTimeText(std::int64_t unixMs);

// A span of local time as a person writes it: "2026-12-07 14:32", with "T"
// in place of the blank, seconds optional, a date alone (the whole day), or
// a time alone (today). `first` is its start, `last` its end (exclusive), in
// milliseconds since 1970 UTC: "14:32" spans the whole minute.
struct LocalSpan {
  std::int64_t first;
  std::int64_t last;
};
std::optional<LocalSpan> parseLocalTime(std::string_view text, std::int64_t nowMs);

}  // namespace qel::qelhost
