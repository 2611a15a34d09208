// Text from outside (the cash register's messages, a trace file, a record)
// made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace qel::qelhost {

// `text` (UTF-8) with every control character but the tab shown as a
// backslash, "x" and its two hex digits ("\x1b" for ESC, "\x0d" for a
// carriage return, "\x9b" for U+009B), so that no escape sequence reaches
// the terminal and no line break starts a row of its own. All other bytes,
// backslashes included, stay as they are.
std::string visibleText(std::string_view text);

}  // namespace qel::qelhost
