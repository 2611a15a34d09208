// Value formatting and XML escaping: every number and free text that reaches
// a request or a message is written by one of these functions, independent
// of the C runtime's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "render/text_buffer.h"

namespace qel {

double roundDecimals(double value, int decimals);  // half up: floor(x * p + 0.5) / p

// Texts appended to a UTF-8 document, which the request is built as.
void appendBool(TextBuffer& out, std::uint8_t flag);  // "true" / "false"
void appendInt(TextBuffer& out, std::int32_t value);  // "%i"
void appendAmount(TextBuffer& out, double value);     // "%.2f" as POSIX printf writes it
// The five special characters as entities, what XML 1.0 cannot carry left
// out, the rest in UTF-8.
void appendEscapedXml(TextBuffer& out, std::wstring_view text);

}  // namespace qel
