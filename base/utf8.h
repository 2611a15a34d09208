// Writing characters as UTF-8 into text built byte by byte. The coder lives
// in platform/, whose POSIX side converts all its text with it; this is the
// name the layers above use.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace qel {

// Appends `cp`, a character (at most U+10FFFF, no surrogate), to any byte
// sink with push_back(char).
template <typename Out>
void appendUtf8(Out& out, char32_t cp) {
  platform::detail::appendUtf8(out, cp);
}

// `text` in UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
inline std::string utf16ToUtf8(std::u16string_view text) { return platform::detail::encodeUtf8(text); }

}  // namespace qel
