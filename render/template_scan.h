// Reading a template's bytes as the request is built from them: copied, with
// or without line breaks, and its braces noted, in one pass.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Where a placeholder can begin: an opening brace, and the first closing
// brace after it (npos if none). A key without a closing brace of its own
// can only match where the closing brace lies right after the key.
struct TemplateBrace {
  std::size_t open;
  std::size_t close;
};

// Copies ASCII template `bytes` into `text` (without line breaks and tabs
// when `joinLines`) and appends their braces to `braces`, at their places
// in `text`. Returns false, with `text` and `braces` emptied, when a byte is
// not ASCII.
bool scanAsciiTemplate(std::string_view bytes, bool joinLines, std::string& text, std::vector<TemplateBrace>& braces);

}  // namespace qel
