// The documentation's table of QelConnect.xml's elements names exactly the
// elements the reader knows, each in its section.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "config/config_elements.h"

namespace qel {
namespace {

// The first cell of each row of the table under "### Elements", without its
// backquotes: "endpoint", "endpoint/url", ...
std::set<std::string> documentedElements(const std::string& markdown) {
  std::istringstream in(markdown);
  std::set<std::string> names;
  bool inTable = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "### Elements") inTable = true;
    if (!inTable) continue;
    if (line.rfind("| `", 0) == 0) names.insert(line.substr(3, line.find('`', 3) - 3));
    if (!names.empty() && line.empty()) break;
  }
  return names;
}

TEST(ConfigElementsDocTest, ConfigurationTableNamesEveryElementInItsSection) {
  std::ifstream file(QEL_SOURCE_DIR "/docs/configuration.md", std::ios::binary);
  ASSERT_TRUE(file) << "docs/configuration.md";
  std::ostringstream markdown;
  markdown << file.rdbuf();

  std::set<std::string> known;
  for (std::string_view section : configSections()) known.insert(std::string(section));
  for (const ConfigElement& e : configElements()) known.insert(std::string(e.section) + "/" + std::string(e.name));
  EXPECT_EQ(documentedElements(markdown.str()), known);
}

}  // namespace
}  // namespace qel
