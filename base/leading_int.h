// Reading a number at the start of a text the way the C library's atoi and a
// "%d" scan do, with the same result on every C runtime.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qel {

// Skips leading white space (space, TAB, LF, VT, FF, CR), takes an optional
// sign and then decimal digits up to the first other character, which ends
// the number. Returns nullopt when no digit follows. A value beyond the 32-bit
// range is clamped to its nearest end, so that no C runtime's overflow
// behaviour leaks into the result.
std::optional<std::int32_t> parseLeadingInt(std::string_view text);

}  // namespace qel
