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

std::int64_t floorDiv(std::int64_t value, std::int64_t by) {
  const std::int64_t quotient = value / by;
  return quotient * by > value ? quotient - 1 : quotient;
}

}  // namespace

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
