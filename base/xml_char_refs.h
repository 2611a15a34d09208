// Texts whose character references tinyxml2 would decode in quadratic time.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/xml_rewrite.h"

namespace qel::xml {

// tinyxml2 looks for the ';' of a reference "&#..." with strchr up to the end
// of the text, so a text of many "&#" and no ';' costs the square of its
// length to decode. This rewrites the text node [begin, end) of `text` so
// that it decodes to the same bytes in linear time: every '&' that tinyxml2
// would copy as it is, because what follows is no reference, becomes "&amp;".
void escapeRejectedCharRefs(std::string_view text, std::size_t begin, std::size_t end, Rewrite& rewrite);

}  // namespace qel::xml
