// Finding the mistakes in QelConnect.xml that the reader forgives.
#include "config/config_warnings.h"

#include <algorithm>
#include <cctype>

namespace qel {
namespace {

struct Section {
  std::string_view name;
  std::vector<std::string_view> children;
};

// Every element the reader knows, by the section that holds it.
const std::vector<Section>& sections() {
  static const std::vector<Section> known = {
      {"endpoint", {"username", "password", "protectedPassword", "url", "certSubject", "caFile"}},
      {"compatibility", {"oldkasse", "oldkasseprefix"}},
      {"diagnostics", {"trace", "traceBodies"}},
  };
  return known;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edit distance in which a change of letter case alone costs less than any
// other change, so that a name written in the wrong case is always nearest.
// Names are cut at 64 characters: no known name is half as long.
int distance(std::string_view a, std::string_view b) {
  a = a.substr(0, 64);
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j) * 2;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i) * 2;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int change = a[i - 1] == b[j - 1] ? 0 : lower(a[i - 1]) == lower(b[j - 1]) ? 1 : 2;
      const int best = std::min({row[j] + 2, row[j - 1] + 2, diagonal + change});
      diagonal = row[j];
      row[j] = best;
    }
  }
  return row[b.size()];
}

std::string tag(std::string_view name) { return "<" + std::string(name) + ">"; }

}  // namespace

std::string_view nearestName(std::string_view name, const std::vector<std::string_view>& known) {
  return *std::min_element(known.begin(), known.end(), [name](std::string_view a, std::string_view b) {
    return distance(name, a) < distance(name, b);
  });
}

void ConfigWarnings::add(int line, std::string text) {
  if (warnings_.size() < kMaxWarnings) {
    warnings_.push_back({line, std::move(text)});
  } else {
    ++dropped_;
  }
}

void ConfigWarnings::checkChildren(const tinyxml2::XMLNode& parent, const std::vector<std::string_view>& known,
                                   const char* parentName) {
  const std::string where = parentName != nullptr ? " in " + tag(parentName) : "";
  for (const tinyxml2::XMLElement* element = parent.FirstChildElement(); element != nullptr;
       element = element->NextSiblingElement()) {
    const std::string_view name = element->Name();
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      add(element->GetLineNum(),
          "unknown element " + tag(name) + where + " is ignored; did you mean " + tag(nearestName(name, known)) + "?");
      continue;
    }
    const tinyxml2::XMLElement* first = parent.FirstChildElement(element->Name());
    if (first != element) {
      add(element->GetLineNum(), tag(name) + where + " is given again and ignored; the one on line " +
                                     std::to_string(first->GetLineNum()) + " counts");
    }
  }
}

void ConfigWarnings::checkStructure(const tinyxml2::XMLDocument& document) {
  std::vector<std::string_view> topLevel;
  for (const Section& section : sections()) topLevel.push_back(section.name);
  checkChildren(document, topLevel, nullptr);
  for (const Section& section : sections()) {
    const std::string name(section.name);
    for (const tinyxml2::XMLElement* element = document.FirstChildElement(name.c_str()); element != nullptr;
         element = element->NextSiblingElement(name.c_str())) {
      checkChildren(*element, section.children, name.c_str());
    }
  }
}

void ConfigWarnings::checkNumber(const tinyxml2::XMLElement* element, const char* text, long value) {
  if (element == nullptr) return;
  const std::string_view written = text != nullptr ? text : "";
  const std::size_t sign = !written.empty() && (written[0] == '+' || written[0] == '-') ? 1 : 0;
  if (written.size() > sign && written.find_first_not_of("0123456789", sign) == std::string::npos) return;
  const std::size_t start = written.find_first_not_of(" \t\n\v\f\r");
  const std::size_t first = start == std::string::npos ? start : written.find_first_not_of("+-", start);
  const bool leadingDigits =
      first != std::string::npos && first <= start + 1 && std::isdigit(static_cast<unsigned char>(written[first]));
  add(element->GetLineNum(),
      tag(element->Name()) + " '" + std::string(written) +
          (leadingDigits ? "' is read only up to its first non-digit, as " : "' is not a number: read as ") +
          std::to_string(value));
}

void ConfigWarnings::checkSwitch(const tinyxml2::XMLElement* element, const char* text) {
  if (element == nullptr) return;
  const std::string_view written = text != nullptr ? text : "";
  if (written == "0" || written == "1") return;
  add(element->GetLineNum(), tag(element->Name()) + " '" + std::string(written) + "' is neither 0 nor 1: read as 0");
}

std::vector<ConfigWarning> ConfigWarnings::take() {
  std::stable_sort(warnings_.begin(), warnings_.end(),
                   [](const ConfigWarning& a, const ConfigWarning& b) { return a.line < b.line; });
  if (dropped_ > 0) warnings_.push_back({0, std::to_string(dropped_) + " more warnings not shown"});
  std::vector<ConfigWarning> taken = std::move(warnings_);
  warnings_.clear();
  dropped_ = 0;
  return taken;
}

}  // namespace qel
