// parseXml against tinyxml2's own Parse: on every document, and on every
// prefix of it, both must report the same error and build the same tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/xml_parse.h"
#include "tests/support/xml_outcome.h"
#include "tests/transport/kasse_answers.h"

namespace qel {
namespace {

// n attributes name0="1" name1="1" ..., each preceded by `separator`.
std::string attributes(int n, const std::string& name = "a", const std::string& separator = " ") {
  std::string out;
  for (int i = 0; i < n; ++i) out += separator + name + std::to_string(i) + "=\"1\"";
  return out;
}

std::string repeated(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// Counts below, at and above the number of attributes parseXml lets through.
const int kKept = static_cast<int>(kMaxParsedAttributes);
const std::vector<int> kCounts = {kKept - 1, kKept, kKept + 1, kKept + 2, 100};

std::string answerWith(const std::string& beforeResponse, const std::string& rectmsg = "ok") {
  std::string answer = test::kasseAnswer("0", rectmsg);
  answer.insert(answer.find("<n0:"), beforeResponse);
  return answer;
}

const char kConfig[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<endpoint{A}>\n"
    "  <username>QELUSER</username>\n  <password>p&amp;w</password>\n"
    "  <url>http://127.0.0.1:8080/kasse</url>\n</endpoint>\n<compatibility>\n"
    "  <oldkasse>0</oldkasse>\n</compatibility>\n";

std::string configWith(const std::string& endpointAttributes) {
  std::string config = kConfig;
  return config.replace(config.find("{A}"), 3, endpointAttributes);
}

// Documents in which `many` stands for attributes enough to be dropped.
std::vector<std::string> documents(int n) {
  const std::string many = attributes(n);
  return {
      answerWith("<x" + many + "/>"),
      answerWith("<x" + many + "></x" + many + ">"),
      answerWith("<x" + attributes(n, "a", "") + "/>"),
      answerWith("<x" + attributes(n, "a", "\r\n\t ") + "\n/>"),
      answerWith("<x" + repeated(" a = \"1\"", 1) + attributes(n, "b", "\n") + "/>"),
      configWith(many),
      configWith(attributes(n, "\xC3\xA9") + " \xC3\xA9" + "0=\"dup\""),
      // Markup inside comments, CDATA, declarations, DOCTYPE and values.
      answerWith("<!-- <x a=\"1\" a=\"1\"> --><x" + many + " v='<y a=\"1\" a=\"2\">'/>"),
      answerWith("<![CDATA[<x a='1' a='1'>]]><x" + many + "/>"),
      answerWith("<![CDATA[ > <x" + many + " ]]><!-- > <x" + many + " -->"),
      "<? > <x" + many + " ?><! > <x" + many + " ><r/>",
      "<?xml version=\"1.0\"?><?pi <x a='1' a='1'>?><!DOCTYPE r [<!ELEMENT r ANY>]><r" + many + "/>",
      "<!DOCTYPE r [<!ELEMENT r ANY>]><r" + many + "/>",
      "<r" + many + " v=\"a>b<c 'q'\" w='\"'>text</r>",
      // Repeated names: first and second, last and first, at every position.
      "<r a0=\"x\"" + many + "/>",
      "<r" + many + " a" + std::to_string(n - 1) + "=\"&#&#&#\"/>",
      "<r" + many + " a0='&#x41;'/>",
      "<r a0=\"&#&#&#&#\"" + many + "/>",
      "<r><x" + many + "/><y" + many + many + "/></r>",
      // A comment whose "-->" overlaps its own "<!--"; an element after a
      // closing tag; a rejected hex reference before a valid one.
      "<!--><x" + many + "/>--><r/>",
      "<r><a></a><x" + many + "/></r>",
      "<r>&#xg;&#x41;</r>",
      // Malformed attributes after good ones: no quote, no '=', no end.
      "<r" + many + " b=1/>",
      "<r" + many + " b />",
      "<r" + many + " b=\"1/>",
      "<r" + many + " b",
      "<r" + many + " ?>",
      "<r" + many + ">",
      "<r" + many,
      // NUL bytes end the text, a BOM opens it once.
      std::string("<r") + many + "/>" + std::string(1, '\0') + "<y a='1' a='1'/>",
      std::string("<r") + many.substr(0, many.size() / 2) + std::string(1, '\0') + "/>",
      "\xEF\xBB\xBF<r" + many + "/>",
      " \n \xEF\xBB\xBF\n<r" + many + "/>",
      "\xEF\xBB\xBF\xEF\xBB\xBF<r" + many + "/>",
      "<\xC3\xA9l" + attributes(n, "\xE2\x82\xAC") + ">\xC3\xA9</\xC3\xA9l>",
      // Tags: spaces before the name, a closing tag's own attributes.
      "< r" + many + "></r>",
      "<r" + many + "></ r>",
      "<r" + many + "></r a='1' a='1'>",
      "<r" + many + "><a><b></a></b></r>",
      repeated("<a>", 99) + "<r" + many + "/>" + repeated("</a>", 99),
      repeated("<a>", 100) + repeated("</a>", 100),
      "<r" + many + "/>trailing",
      "<r" + many + "/><?late?>",
      // Character references in texts: decoded, merged, left as they are.
      answerWith("<x" + many + "/>", "&#&#&#x&#x;&#;&#65;&#&#x41;&#"),
      "<r>&#x41;&#65;&#&#66;&#x&#x42;&#1a;&#xg;&amp;#65;&lt&#;x&#x;&#</r>",
      "<r>&#1" + repeated("&#", 50) + "2;&#x" + repeated("&#x", 50) + ";" + repeated("&#", 50) + "</r>",
      "<r>&#" + repeated("1", 40) + ";&#x" + repeated("f", 40) + ";&</r>",
      "<r><![CDATA[&#&#]]>&#&#<!--&#&#-->&#</r>",
      "",
      " \n ",
      "\xEF\xBB\xBF",
      "text",
      "<",
      "<>",
      "</>",
      "<!--",
      "<![CDATA[",
      "<?",
      "<!",
  };
}

// The most attributes on one element, which bounds tinyxml2's time.
std::size_t mostAttributes(const tinyxml2::XMLNode& parent) {
  std::size_t most = 0;
  for (const tinyxml2::XMLElement* e = parent.FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    std::size_t count = 0;
    for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a != nullptr; a = a->Next()) ++count;
    most = std::max({most, count, mostAttributes(*e)});
  }
  return most;
}

TEST(ParseXmlTest, AgreesWithTinyxml2OnEveryDocumentAndPrefix) {
  for (const int n : kCounts) {
    for (const std::string& document : documents(n)) {
      for (std::size_t size = 0; size <= document.size(); ++size) {
        const std::string text = document.substr(0, size);
        tinyxml2::XMLDocument plain;
        plain.Parse(text.data(), text.size());
        tinyxml2::XMLDocument pruned;
        parseXml(pruned, text);
        ASSERT_EQ(test::describeParse(pruned), test::describeParse(plain))
            << "attributes " << n << ", text (" << size << " bytes): " << text;
        ASSERT_LE(mostAttributes(pruned), kMaxParsedAttributes) << text;
      }
    }
  }
}

}  // namespace
}  // namespace qel
