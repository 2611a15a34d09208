// Finding the mistakes in QelConnect.xml that the reader forgives.
#include "config/config_warnings.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <string>
#include <string_view>

#include "config/config_elements.h"

namespace qel {
namespace {

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

constexpr char kUserInfoInUrl[] =
    "<url> holds a user name or password before an '@', which is never sent: the cash register gets <username> "
    "and <password>";
constexpr char kCredentialsInClear[] =
    "<url> starts with http://: the user name and password go over the network unencrypted; use https://";

// Where an element of this name belongs, when not where it stands: "<url>"
// in "<endpoint>", a section at the top level. Empty for an unknown name.
std::string placeOf(std::string_view name) {
  for (const ConfigElement& e : configElements()) {
    if (e.name == name) return "in " + tag(e.section);
  }
  const std::vector<std::string_view>& sections = configSections();
  return std::find(sections.begin(), sections.end(), name) != sections.end() ? "at the top level" : "";
}

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
      const std::string place = placeOf(name);
      add(element->GetLineNum(), place.empty() ? "unknown element " + tag(name) + where + " is ignored; did you mean " +
                                                     tag(nearestName(name, known)) + "?"
                                               : "element " + tag(name) + where + " is ignored: it belongs " + place);
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
  checkChildren(document, configSections(), nullptr);
  for (std::string_view section : configSections()) {
    const std::string name(section);
    const std::vector<std::string_view> children = elementsOf(section);
    for (const tinyxml2::XMLElement* element = document.FirstChildElement(name.c_str()); element != nullptr;
         element = element->NextSiblingElement(name.c_str())) {
      checkChildren(*element, children, name.c_str());
    }
  }
}

void ConfigWarnings::checkUrl(const tinyxml2::XMLElement* element, const std::wstring& url, bool hasCredentials) {
  if (element == nullptr) return;
  // A "://" after the first '/', '?', '#' or '@' belongs to the path, the
  // query or the user information: such a url has no scheme of its own.
  std::size_t schemeEnd = url.find(L"://");
  if (url.find_first_of(L"/?#@") < schemeEnd) schemeEnd = std::wstring::npos;
  const std::size_t authority = schemeEnd == std::wstring::npos ? 0 : schemeEnd + 3;
  const std::size_t authorityEnd = url.find_first_of(L"/?#", authority);
  if (url.find(L'@', authority) < authorityEnd) add(element->GetLineNum(), kUserInfoInUrl);
  std::wstring scheme = url.substr(0, schemeEnd == std::wstring::npos ? 0 : schemeEnd);
  for (wchar_t& c : scheme) c = static_cast<wchar_t>(std::towlower(c));
  // Over loopback (a relay or simulator on this computer) nothing crosses
  // the network.
  const std::size_t at = url.rfind(L'@', authorityEnd == std::wstring::npos ? url.size() : authorityEnd);
  const std::size_t host = at != std::wstring::npos && at >= authority ? at + 1 : authority;
  const std::wstring_view hostText = std::wstring_view(url).substr(host);
  const bool loopback =
      hostText.rfind(L"localhost", 0) == 0 || hostText.rfind(L"127.", 0) == 0 || hostText.rfind(L"[::1]", 0) == 0;
  if (hasCredentials && scheme == L"http" && !loopback) add(element->GetLineNum(), kCredentialsInClear);
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
