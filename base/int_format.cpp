// Whole numbers written with std::to_chars, which consults no locale.
#include "base/int_format.h"

#include <charconv>

namespace qel {
namespace {

// Digits and signs are ASCII, so widening is a plain copy.
std::wstring widen(const char* first, const char* last) { return std::wstring(first, last); }

}  // namespace

std::wstring formatInt(std::int32_t value) {
  char buffer[16];
  return widen(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// "%.2i": at least two digits, the sign before the padding zeros.
std::wstring formatInt2(std::int32_t value) {
  const bool negative = value < 0;
  const std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
  std::wstring text;
  if (negative) text += L'-';
  if (result.ptr - buffer < 2) text += L'0';
  text += widen(buffer, result.ptr);
  return text;
}

}  // namespace qel
