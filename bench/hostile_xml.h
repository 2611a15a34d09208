// The answers and configuration files that cost tinyxml2 the most time for
// their size, each filling a given number of bytes.
#pragma once

#include <cstddef>
#include <string>

#include "tests/transport/kasse_answers.h"

namespace qel::bench {

// A distinct attribute name for every index: letters only, shortest first.
inline std::string attributeName(std::size_t index) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string name;
  do {
    name += kLetters[index % 52];
    index /= 52;
  } while (index != 0);
  return name;
}

// Elements <x a=""b=""...> with `perElement` attributes each (one element
// when perElement is 0), as many as fit in `size` bytes.
inline std::string elementsWithAttributes(std::size_t size, std::size_t perElement) {
  std::string out;
  out.reserve(size + 64);
  std::string element = "<x";
  for (std::size_t i = 0;; ++i) {
    if (perElement != 0 && i == perElement) {
      if (out.size() + element.size() + 2 > size) break;
      out += element + "/>";
      element = "<x";
      i = 0;
    }
    const std::string attribute = attributeName(i) + "=\"\"";
    if (out.size() + element.size() + attribute.size() + 2 > size) break;
    element += (i == 0 ? " " : "") + attribute;
  }
  if (perElement == 0) out += element + "/>";
  return out;
}

// Empty elements <b/>, as many as fit in `size` bytes, inside `depth`
// nested elements: tinyxml2 looks each new element up among the unfinished
// ones when it links it.
inline std::string emptyElements(std::size_t size, int depth) {
  std::string out;
  for (int i = 0; i < depth; ++i) out += "<a>";
  const std::size_t room = size - out.size() - 4 * static_cast<std::size_t>(depth);
  for (std::size_t i = 0; i + 4 <= room; i += 4) out += "<b/>";
  for (int i = 0; i < depth; ++i) out += "</a>";
  return out;
}

// An answer of `size` bytes: `fill` before the response element, Rect 0.
template <typename Fill>
std::string answerOfSize(std::size_t size, Fill&& fill) {
  std::string answer = test::kasseAnswer("0", "ok");
  const std::string filling = fill(size - answer.size());
  return answer.insert(answer.find("<n0:"), filling);
}

// An answer of `size` bytes whose Rectmsg is "&#" over and over: tinyxml2
// looks for each reference's ';' up to the end of the text.
inline std::string answerWithUnclosedReferences(std::size_t size) {
  const std::string frame = test::kasseAnswer("0", "");
  std::string message;
  while (frame.size() + message.size() + 2 <= size) message += "&#";
  return test::kasseAnswer("0", message);
}

// A configuration file of `size` bytes whose endpoint element carries the
// attributes.
inline std::string configWithAttributes(std::size_t size, std::size_t perElement) {
  const std::string frame =
      "<endpoint><username>kasse</username><password>geheim</password>"
      "<url>http://127.0.0.1:8080/sap/bc/srt/kasse</url></endpoint>";
  std::string attributes = elementsWithAttributes(size - frame.size(), perElement);
  // "<x" ... "/>" around the attributes becomes the endpoint's start tag.
  attributes = attributes.substr(2, attributes.size() - 4);
  return "<endpoint" + attributes + frame.substr(9);
}

}  // namespace qel::bench
