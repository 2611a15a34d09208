// ISO 8601 texts from clock counts, with the proleptic Gregorian
// calendar worked out from the day count (days since 1970-01-01).
#include "base/utc_time.h"

#include <cstdint>

namespace qel {
namespace {

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// The date of day `days` after 1970-01-01, counted in eras of 400 years
// that begin on 1 March, so that the leap day ends each era's year.
CivilDate civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthFromMarch = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  const unsigned month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

// `value` with at least `width` digits, zeros in front.
void appendPadded(std::string& out, std::int64_t value, int width) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = count; i < width; ++i) out += '0';
  while (count > 0) out += digits[--count];
}

// The number of `width` digits at `at`; -1 when one of them is not a digit.
std::int64_t digitsAt(std::string_view text, std::size_t at, std::size_t width) {
  std::int64_t value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::int64_t floorDiv(std::int64_t value, std::int64_t by) {
  const std::int64_t quotient = value / by;
  return quotient * by > value ? quotient - 1 : quotient;
}

}  // namespace

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::optional<std::int64_t> parseIsoUtc(std::string_view text) {
  // "YYYY-MM-DDThh:mm:ss" with the separators at fixed places and digits
  // between, then a fraction of one to three digits or none, then "Z".
  static constexpr std::string_view kShape = "0000-00-00T00:00:00";
  if (text.size() < kShape.size() + 1 || text.back() != 'Z') return std::nullopt;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    if (kShape[i] != '0' && text[i] != kShape[i]) return std::nullopt;
  }
  const std::int64_t year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
  const std::int64_t hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
  // ".123", ".12", ".1" or nothing: milliseconds, hundredths, tenths.
  const std::string_view fraction = text.substr(kShape.size(), text.size() - kShape.size() - 1);
  std::int64_t ms = 0;
  if (!fraction.empty()) {
    if (fraction[0] != '.' || fraction.size() < 2 || fraction.size() > 4) return std::nullopt;
    ms = digitsAt(fraction, 1, fraction.size() - 1);
    for (std::size_t digits = fraction.size() - 1; digits < 3; ++digits) ms *= 10;  // -1 stays negative
  }
  if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59 || ms < 0) {
    return std::nullopt;
  }
  const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  // A day past the month's end (31 April) comes back as another date.
  if (civilFromDays(days).day != static_cast<unsigned>(day)) return std::nullopt;
  return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
}

std::string isoUtc(std::int64_t ms) {
  const std::int64_t days = floorDiv(ms, 86400000);
  const std::int64_t msOfDay = ms - days * 86400000;
  const CivilDate date = civilFromDays(days);
  std::string text;
  text.reserve(24);
  appendPadded(text, date.year, 4);
  text += '-';
  appendPadded(text, date.month, 2);
  text += '-';
  appendPadded(text, date.day, 2);
  text += 'T';
  appendPadded(text, msOfDay / 3600000, 2);
  text += ':';
  appendPadded(text, msOfDay / 60000 % 60, 2);
  text += ':';
  appendPadded(text, msOfDay / 1000 % 60, 2);
  text += '.';
  appendPadded(text, msOfDay % 1000, 3);
  text += 'Z';
  return text;
}

}  // namespace qel
