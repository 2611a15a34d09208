// Converting between the trace's UTC texts and local time with the C
// library's time zone (TZ on Linux, the system's zone on Windows).
#include "tools/qelhost/local_time.h"

#include <cstdio>
#include <ctime>

#include "base/utc_time.h"

namespace qel::qelhost {
namespace {

constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kSecondsPerDay = 86400;

// The digits of text[at, at + count) as a number, or -1.
int digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

struct Clock {
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool hasSeconds = false;
};

// "14:32" or "14:32:05", the whole text.
std::optional<Clock> parseClock(std::string_view text) {
  Clock clock;
  clock.hour = digits(text, 0, 2);
  clock.minute = digits(text, 3, 2);
  if (text.size() < 5 || text[2] != ':' || clock.hour < 0 || clock.hour > 23 || clock.minute < 0 || clock.minute > 59) {
    return std::nullopt;
  }
  if (text.size() == 5) return clock;
  clock.second = digits(text, 6, 2);
  if (text.size() != 8 || text[5] != ':' || clock.second < 0 || clock.second > 59) return std::nullopt;
  clock.hasSeconds = true;
  return clock;
}

// The local time of `fields` (tm_isdst -1: the zone decides) as seconds
// since 1970 UTC.
std::optional<std::int64_t> fromLocal(std::tm fields) {
  fields.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&fields);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds);
}

}  // namespace

std::string localTimeText(std::int64_t unixMs) {
  // Floor division, so that a time before 1970 keeps its second.
  const std::int64_t seconds = unixMs / kMsPerSecond - (unixMs % kMsPerSecond < 0 ? 1 : 0);
  const auto when = static_cast<std::time_t>(seconds);
  const std::tm* local = std::localtime(&when);
  if (local == nullptr) return "";
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  return std::string(text, length);
}

std::optional<LocalSpan> parseLocalTime(std::string_view text, std::int64_t nowMs) {
  if (text.empty()) return std::nullopt;
  std::tm fields{};
  std::string_view clockText;
  if (text.size() >= 10 && text[4] == '-') {
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    if (text[7] != '-' || year < 1970 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    if (text.size() > 10) {
      if (text[10] != ' ' && text[10] != 'T') return std::nullopt;
      clockText = text.substr(11);
      if (clockText.empty()) return std::nullopt;
    }
  } else {
    const auto now = static_cast<std::time_t>(nowMs / kMsPerSecond);
    const std::tm* today = std::localtime(&now);
    if (today == nullptr) return std::nullopt;
    fields = *today;
    clockText = text;
  }
  // The span's length: a day, a minute or a second, by what was written.
  std::int64_t length = kSecondsPerDay;
  fields.tm_hour = fields.tm_min = fields.tm_sec = 0;
  if (!clockText.empty()) {
    const std::optional<Clock> clock = parseClock(clockText);
    if (!clock) return std::nullopt;
    fields.tm_hour = clock->hour;
    fields.tm_min = clock->minute;
    fields.tm_sec = clock->second;
    length = clock->hasSeconds ? 1 : 60;
  }
  const std::optional<std::int64_t> first = fromLocal(fields);
  if (!first) return std::nullopt;
  // A day is measured by its next midnight, which a change of summer time
  // moves by an hour.
  std::int64_t last = *first + length;
  if (length == kSecondsPerDay) {
    fields.tm_mday += 1;
    const std::optional<std::int64_t> next = fromLocal(fields);
    if (!next) return std::nullopt;
    last = *next;
  }
  return LocalSpan{*first * kMsPerSecond, last * kMsPerSecond};
}

}  // namespace qel::qelhost
