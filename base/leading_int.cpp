// Reading a number at the start of a text, independent of the C runtime.
#include "base/leading_int.h"

#include <limits>

namespace qel {

namespace {

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<std::int32_t> parseLeadingInt(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && isCSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  if (pos >= text.size() || !isDigit(text[pos])) return std::nullopt;

  // Accumulate the magnitude in 64 bits and stop growing it once it is past
  // the 32-bit range; the digits that follow still belong to the number.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; pos < text.size() && isDigit(text[pos]); ++pos) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[pos] - '0');
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace qel
