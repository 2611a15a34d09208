// The table of QelConnect.xml's elements.
#include "config/config_elements.h"

#include <algorithm>
#include <string>

namespace qel {

const std::vector<ConfigElement>& configElements() {
  static const std::vector<ConfigElement> all = {
      element::kUsername,    element::kPassword, element::kProtectedPassword, element::kUrl,   element::kCaFile,
      element::kCertSubject, element::kOldkasse, element::kOldkasseprefix,    element::kTrace, element::kTraceBodies,
  };
  return all;
}

const std::vector<std::string_view>& configSections() {
  static const std::vector<std::string_view> sections = [] {
    std::vector<std::string_view> names;
    for (const ConfigElement& e : configElements()) {
      if (std::find(names.begin(), names.end(), e.section) == names.end()) names.push_back(e.section);
    }
    return names;
  }();
  return sections;
}

std::vector<std::string_view> elementsOf(std::string_view section) {
  std::vector<std::string_view> names;
  for (const ConfigElement& e : configElements()) {
    if (e.section == section) names.push_back(e.name);
  }
  return names;
}

const tinyxml2::XMLElement* findElement(const tinyxml2::XMLDocument& document, const ConfigElement& which) {
  const tinyxml2::XMLElement* section = document.FirstChildElement(std::string(which.section).c_str());
  return section != nullptr ? section->FirstChildElement(std::string(which.name).c_str()) : nullptr;
}

}  // namespace qel
