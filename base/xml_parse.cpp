// parseXml: one pass over the text that finds its nodes as tinyxml2 9.0.0
// does, and takes out what would cost tinyxml2 quadratic time.
#include "base/xml_parse.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/xml_char_refs.h"
#include "base/xml_chars.h"
#include "base/xml_rewrite.h"

namespace qel {

namespace {

constexpr std::size_t kStop = std::string_view::npos;

// Where one well-formed attribute lies: name="value" from begin to end.
struct AttributeSpan {
  std::size_t begin;
  std::size_t nameEnd;
  std::size_t valueBegin;
  std::size_t valueEnd;
  std::size_t end() const { return valueEnd + 1; }
};

// Finds the nodes of a text the way tinyxml2's parser does. Telling them
// apart needs no nesting: a node's extent follows from its first bytes. Each
// scan returns where the next node starts, or kStop where tinyxml2 stops
// with an error (or wherever its verdict no longer depends on what follows).
class Scanner {
 public:
  Scanner(std::string_view text, bool decodesEntities, xml::Rewrite& rewrite)
      : text_(text), decodesEntities_(decodesEntities), rewrite_(rewrite) {}

  // A byte order mark, which tinyxml2 skips, reads here as the start of a
  // text that ends at the same '<'.
  void run() {
    std::size_t at = 0;
    while (at != kStop) {
      at = skipWhiteSpace(at);
      if (at == text_.size()) return;
      at = scanNode(at);
    }
  }

 private:
  std::size_t scanNode(std::size_t at) {
    // The order of tinyxml2's tests: "<![CDATA[" before "<!", "<" last.
    if (startsWith(at, "<?")) return skipPast(at + 2, "?>");
    if (startsWith(at, "<!--")) return skipPast(at + 4, "-->");
    if (startsWith(at, "<![CDATA[")) return skipPast(at + 9, "]]>");
    if (startsWith(at, "<!")) return skipPast(at + 2, ">");
    if (startsWith(at, "<")) return scanTag(at + 1);
    return scanText(at);
  }

  char byteAt(std::size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

  bool startsWith(std::size_t at, std::string_view prefix) const { return text_.substr(at, prefix.size()) == prefix; }

  std::size_t skipWhiteSpace(std::size_t at) const {
    while (at < text_.size() && xml::isWhiteSpace(text_[at])) ++at;
    return at;
  }

  std::size_t skipName(std::size_t at) const {
    while (at < text_.size() && xml::isNameChar(text_[at])) ++at;
    return at;
  }

  std::size_t skipPast(std::size_t from, std::string_view terminator) const {
    const std::size_t found = text_.find(terminator, from);
    return found == kStop ? kStop : found + terminator.size();
  }

  // Text runs to the next '<'; without one, tinyxml2 reports an error.
  std::size_t scanText(std::size_t at) {
    const std::size_t end = text_.find('<', at);
    if (end == kStop) return kStop;
    if (decodesEntities_) xml::escapeRejectedCharRefs(text_, at, end, rewrite_);
    return end;
  }

  // An opening or closing tag: white space, '/', a name, the attributes.
  std::size_t scanTag(std::size_t at) {
    at = skipWhiteSpace(at);
    if (byteAt(at) == '/') ++at;
    if (!xml::isNameStartChar(byteAt(at))) return kStop;
    return scanAttributes(skipName(at + 1));
  }

  std::size_t scanAttributes(std::size_t at) {
    attributes_.clear();
    std::size_t next = kStop;
    for (;;) {
      at = skipWhiteSpace(at);
      const char c = byteAt(at);
      if (xml::isNameStartChar(c)) {
        AttributeSpan span{};
        at = scanAttribute(at, span);
        if (at == kStop) break;  // Malformed: tinyxml2 stops here.
        attributes_.push_back(span);
      } else {
        if (c == '>') next = at + 1;
        if (c == '/' && byteAt(at + 1) == '>') next = at + 2;
        break;  // The end of the tag, or a byte that tinyxml2 stops at.
      }
    }
    const std::size_t repeated = firstRepeatedName();
    if (repeated != kStop) {
      keepRepetition(repeated);
      return kStop;
    }
    if (attributes_.size() > kMaxParsedAttributes) rewrite_.blank(attributes_.front().begin, attributes_.back().end());
    return next;
  }

  // name, white space, '=', white space, a quoted value in which '<' and '>'
  // are ordinary bytes.
  std::size_t scanAttribute(std::size_t at, AttributeSpan& span) const {
    span.begin = at;
    span.nameEnd = skipName(at + 1);
    at = skipWhiteSpace(span.nameEnd);
    if (byteAt(at) != '=') return kStop;
    at = skipWhiteSpace(at + 1);
    const char quote = byteAt(at);
    if (quote != '"' && quote != '\'') return kStop;
    span.valueBegin = at + 1;
    span.valueEnd = text_.find(quote, span.valueBegin);
    if (span.valueEnd == kStop) return kStop;
    return span.end();
  }

  std::string_view name(std::size_t index) const {
    const AttributeSpan& span = attributes_[index];
    return text_.substr(span.begin, span.nameEnd - span.begin);
  }

  // The first attribute whose name, byte for byte, an earlier one has: the
  // one tinyxml2 rejects. Few attributes are compared as tinyxml2 does.
  std::size_t firstRepeatedName() {
    if (attributes_.size() <= kMaxParsedAttributes) {
      for (std::size_t i = 1; i < attributes_.size(); ++i) {
        if (firstWithName(name(i)) < i) return i;
      }
      return kStop;
    }
    // Open addressing over attribute numbers: std::unordered_set spends
    // most of its time allocating and chasing nodes.
    std::size_t capacity = 1;
    while (capacity < 2 * attributes_.size()) capacity *= 2;
    slots_.assign(capacity, 0);
    for (std::size_t i = 0; i < attributes_.size(); ++i) {
      const std::string_view wanted = name(i);
      std::size_t slot = std::hash<std::string_view>()(wanted) & (capacity - 1);
      for (; slots_[slot] != 0; slot = (slot + 1) & (capacity - 1)) {
        if (name(slots_[slot] - 1) == wanted) return i;
      }
      slots_[slot] = i + 1;
    }
    return kStop;
  }

  std::size_t firstWithName(std::string_view wanted) const {
    std::size_t i = 0;
    while (name(i) != wanted) ++i;
    return i;
  }

  // tinyxml2 rejects the repetition after reading the earlier attribute's
  // value, so that attribute stays with an empty value (decoding a value can
  // cost quadratic time too); all others before the repetition go.
  void keepRepetition(std::size_t repeated) {
    const AttributeSpan& first = attributes_[firstWithName(name(repeated))];
    const AttributeSpan& repetition = attributes_[repeated];
    blankIfAny(attributes_.front().begin, first.begin);
    blankIfAny(first.valueBegin, first.valueEnd);
    blankIfAny(first.end(), repetition.begin);
  }

  void blankIfAny(std::size_t begin, std::size_t end) {
    if (begin < end) rewrite_.blank(begin, end);
  }

  std::string_view text_;
  bool decodesEntities_;
  xml::Rewrite& rewrite_;
  std::vector<AttributeSpan> attributes_;
  std::vector<std::size_t> slots_;  // attribute number + 1, or 0 when free
};

}  // namespace

tinyxml2::XMLError parseXml(tinyxml2::XMLDocument& document, std::string_view text) {
  // tinyxml2 reads the text as a C string.
  text = text.substr(0, text.find('\0'));
  // Every attribute needs an '=' and every costly reference an "&#": a text
  // with neither in numbers (as every real answer and configuration) cannot
  // hold what the scan takes out, and goes to tinyxml2 unscanned.
  if (std::count(text.begin(), text.end(), '=') <= static_cast<std::ptrdiff_t>(kMaxParsedAttributes) &&
      text.find("&#") == std::string_view::npos) {
    return document.Parse(text.data(), text.size());
  }
  xml::Rewrite rewrite(text);
  Scanner(text, document.ProcessEntities(), rewrite).run();
  const std::string_view prepared = rewrite.result();
  return document.Parse(prepared.data(), prepared.size());
}

}  // namespace qel
