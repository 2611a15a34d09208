// Numbers on the command lines are decimal: "010" is ten, and "0x10", "1e3",
// "nan" or "inf" are no numbers. CLI11 alone reads integers in C's base 0
// (a leading 0 for octal, 0x for hex) and doubles with strtod.
#pragma once

#include <algorithm>
#include <string>

#include <CLI/CLI.hpp>

namespace qel::cli {

namespace detail {

inline bool allDigits(const std::string& text, std::size_t from, std::size_t to) {
  if (from >= to) return false;
  for (std::size_t i = from; i < to; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

}  // namespace detail

// A whole number of decimal digits, with a minus sign only where `negative`
// allows one; its leading zeros are taken off before CLI11 converts it.
// Given to transform(), so that it runs before any Range.
inline CLI::Validator decimalInteger(bool negative = false) {
  return CLI::Validator(
      [negative](std::string& text) -> std::string {
        const std::size_t sign = negative && !text.empty() && text[0] == '-' ? 1 : 0;
        if (!detail::allDigits(text, sign, text.size())) return text + " is not a decimal number";
        text.erase(sign, std::min(text.find_first_not_of('0', sign), text.size() - 1) - sign);
        return "";
      },
      "", "decimal integer");
}

// Digits with an optional fraction ("1.5"); no sign, exponent, hex, nan or inf.
inline CLI::Validator decimalFraction() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const std::size_t point = text.find('.');
        const bool valid = point == std::string::npos
                               ? detail::allDigits(text, 0, text.size())
                               : detail::allDigits(text, 0, point) && detail::allDigits(text, point + 1, text.size());
        return valid ? "" : text + " is not a decimal number";
      },
      "", "decimal fraction");
}

}  // namespace qel::cli
