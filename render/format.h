// Value formatting and XML escaping: every number and free text that reaches
// a request or a message is written by one of these functions, independent
// of the C runtime's locale.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

std::wstring formatBool(std::uint8_t flag);      // "true" / "false"
std::wstring formatInt(std::int32_t value);      // "%i"
std::wstring formatInt2(std::int32_t value);     // "%.2i"
std::wstring formatAmount(double value);         // "%.2f" as POSIX printf writes it
double roundDecimals(double value, int decimals);  // half up: floor(x * p + 0.5) / p
std::wstring escapeXml(std::wstring text);
void removeLineBreaks(std::wstring& text);       // drops every LF, TAB and CR

}  // namespace qel
