// Parsing XML with tinyxml2 in time that grows linearly with the text.
#pragma once

#include <tinyxml2.h>

#include <cstddef>
#include <string_view>

namespace qel {

// tinyxml2 checks every attribute of an element against all earlier ones, so
// an element with n attributes costs it n * n / 2 name comparisons. No
// element reaches it from parseXml with more attributes than this. The worst
// case left, 8 MiB of elements with this many one-letter attributes each,
// took 0.30 s to judge (0.41 s when 32 were let through, 0.26 s with 8: the
// cost of creating the attributes dominates below 16).
inline constexpr std::size_t kMaxParsedAttributes = 16;

// Gives what document.Parse(text.data(), text.size()) gives: the same error
// code, and on success the same elements and texts (the text ends at its
// first NUL byte, as for Parse). Attributes are not kept where keeping them
// would cost tinyxml2 quadratic time (an element with many of them): callers
// read elements and texts only. Texts whose character references would take
// tinyxml2 quadratic time to decode are handed over in an equivalent form
// that decodes to the same text.
tinyxml2::XMLError parseXml(tinyxml2::XMLDocument& document, std::string_view text);

}  // namespace qel
