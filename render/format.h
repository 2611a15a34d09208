// Value formatting and XML escaping: every number and free text that reaches
// a request or a message is written by one of these functions, independent
// of the C runtime's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "render/text_buffer.h"

namespace qel {

std::wstring formatBool(std::uint8_t flag);      // "true" / "false"
std::wstring formatAmount(double value);         // "%.2f" as POSIX printf writes it
double roundDecimals(double value, int decimals);  // half up: floor(x * p + 0.5) / p
std::wstring escapeXml(std::wstring text);
void removeLineBreaks(std::wstring& text);       // drops every LF, TAB and CR

// The same texts appended to a UTF-8 document, which the request is built
// as: the same characters, without a wide string in between.
void appendBool(TextBuffer& out, std::uint8_t flag);
void appendInt(TextBuffer& out, std::int32_t value);
void appendAmount(TextBuffer& out, double value);
void appendEscapedXml(TextBuffer& out, std::wstring_view text);  // escapeXml, then UTF-8
void removeLineBreaks(std::string& text);

}  // namespace qel
