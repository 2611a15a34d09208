// Every element QelConnect.xml may hold, with the section that holds it: the
// one list that the reader, its warnings, qelhost check and the
// documentation's table follow.
#pragma once

#include <string_view>
#include <vector>

#include <tinyxml2.h>

namespace qel {

// How an element's text is read.
enum class ElementKind {
  Text,    // taken as written
  Number,  // leading digits, as C's atoi
  Switch,  // on only when the text is exactly "1"
};

struct ConfigElement {
  std::string_view section;  // the top-level element that holds it
  std::string_view name;
  ElementKind kind;
};

namespace element {
inline constexpr ConfigElement kUsername{"endpoint", "username", ElementKind::Text};
inline constexpr ConfigElement kPassword{"endpoint", "password", ElementKind::Text};
inline constexpr ConfigElement kProtectedPassword{"endpoint", "protectedPassword", ElementKind::Text};
inline constexpr ConfigElement kUrl{"endpoint", "url", ElementKind::Text};
inline constexpr ConfigElement kCaFile{"endpoint", "caFile", ElementKind::Text};
inline constexpr ConfigElement kCertSubject{"endpoint", "certSubject", ElementKind::Text};
inline constexpr ConfigElement kOldkasse{"compatibility", "oldkasse", ElementKind::Switch};
inline constexpr ConfigElement kOldkasseprefix{"compatibility", "oldkasseprefix", ElementKind::Number};
inline constexpr ConfigElement kTrace{"diagnostics", "trace", ElementKind::Switch};
inline constexpr ConfigElement kTraceBodies{"diagnostics", "traceBodies", ElementKind::Switch};
}  // namespace element

// Every element, section by section, in the order qelhost check shows them.
const std::vector<ConfigElement>& configElements();

// The top-level elements, in the order of their first element above.
const std::vector<std::string_view>& configSections();

// The known elements of `section` (empty for a name that is no section).
std::vector<std::string_view> elementsOf(std::string_view section);

// The element `which` in `document`: the first of its name in the first
// section of its name; nullptr when either is missing.
const tinyxml2::XMLElement* findElement(const tinyxml2::XMLDocument& document, const ConfigElement& which);

}  // namespace qel
