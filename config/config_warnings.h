// What QelConnect.xml holds that a sale passes over without a word: elements
// given twice or not known, and values read other than as written. qelhost
// check shows these; a sale never stops for them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

namespace qel {

struct ConfigWarning {
  int line;          // in the file, from 1
  std::string text;  // UTF-8, without the line
};

// Collects warnings, at most kMaxWarnings of them (a hostile file could hold
// millions of unknown elements; the rest are counted in one last warning).
class ConfigWarnings {
 public:
  static constexpr std::size_t kMaxWarnings = 100;

  // Elements given twice and unknown elements, at the top level and inside
  // the known sections (the ignored copies of a section too).
  void checkStructure(const tinyxml2::XMLDocument& document);
  // The url (`element`'s text as read): user information in it, which is
  // never sent, and credentials that it would send unencrypted to another
  // computer (not to localhost, 127.x.x.x or [::1]).
  void checkUrl(const tinyxml2::XMLElement* element, const std::wstring& url, bool hasCredentials);
  // A number whose text is more than a sign and digits; `value` is how it
  // was read.
  void checkNumber(const tinyxml2::XMLElement* element, const char* text, long value);
  // A switch whose text is neither "0" nor "1".
  void checkSwitch(const tinyxml2::XMLElement* element, const char* text);

  // The warnings in the order of their lines (those of one line in the
  // order they were found), the count of any left out last.
  std::vector<ConfigWarning> take();

 private:
  void add(int line, std::string text);
  void checkChildren(const tinyxml2::XMLNode& parent, const std::vector<std::string_view>& known,
                     const char* parentName);

  std::vector<ConfigWarning> warnings_;
  std::size_t dropped_ = 0;
};

// The known name nearest to `name` (fewest letters to change, letter case
// counting least), for "did you mean".
std::string_view nearestName(std::string_view name, const std::vector<std::string_view>& known);

}  // namespace qel
