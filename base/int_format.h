// Whole numbers as the C runtime's printf writes them, without the runtime:
// the same text on every runtime and under every locale.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

std::wstring formatInt(std::int32_t value);   // "%i"
std::wstring formatInt2(std::int32_t value);  // "%.2i"

}  // namespace qel
