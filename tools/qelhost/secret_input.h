// Reading a password for qelhost protect-password without showing it.
#pragma once

#include <string>

namespace qel::qelhost {

// From a console or terminal: one line, typed after `prompt` (written to
// standard error) without echo. Otherwise: all of standard input, as a
// script pipes it in. One final line break is dropped either way. The text
// is UTF-8; the caller wipes it once used (platform::wipeString). Throws
// std::runtime_error when standard input cannot be read.
std::string readSecret(const char* prompt);

// Drops one final line break (LF or CR LF) from what was read.
inline void dropFinalLineBreak(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

}  // namespace qel::qelhost
