// Character references as tinyxml2 9.0.0 decodes them, found in one pass.
#include "base/xml_char_refs.h"

namespace qel::xml {

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The ';' that tinyxml2 finds for a reference starting before `from`, and
// whether the digits in front of it make a reference. Many references share
// one ';', so each is looked for and judged once: the search moves forward
// only and the digits before a ';' are read at most twice.
class Semicolon {
 public:
  Semicolon(std::string_view text, std::size_t begin, std::size_t end) : text_(text), begin_(begin), end_(end) {}

  // The first ';' at or after `from`, or the end of the text.
  std::size_t next(std::size_t from) {
    if (found_ == kNone || found_ < from) {
      const std::size_t at = text_.substr(0, end_).find(';', from);
      found_ = at == std::string_view::npos ? end_ : at;
      decimal_ = hex_ = Verdict::Unknown;
    }
    return found_;
  }

  // tinyxml2 reads digits backwards from the ';' up to the '#' (decimal) or
  // 'x' (hexadecimal) and gives up at any other byte.
  bool closesDecimal() { return closes(decimal_, '#', isDecimalDigit); }
  bool closesHex() { return closes(hex_, 'x', isHexDigit); }

 private:
  enum class Verdict { Unknown, Yes, No };
  static constexpr std::size_t kNone = std::string_view::npos;

  bool closes(Verdict& verdict, char opener, bool (*isDigit)(char)) {
    if (verdict == Verdict::Unknown) {
      std::size_t at = found_ - 1;
      while (at > begin_ && isDigit(text_[at])) --at;
      verdict = text_[at] == opener ? Verdict::Yes : Verdict::No;
    }
    return verdict == Verdict::Yes;
  }

  std::string_view text_;
  std::size_t begin_;
  std::size_t end_;
  std::size_t found_ = kNone;
  Verdict decimal_ = Verdict::Unknown;
  Verdict hex_ = Verdict::Unknown;
};

}  // namespace

void escapeRejectedCharRefs(std::string_view text, std::size_t begin, std::size_t end, Rewrite& rewrite) {
  Semicolon semicolon(text, begin, end);
  std::size_t at = begin;
  while (at < end) {
    at = text.substr(0, end).find('&', at);
    if (at == std::string_view::npos) return;
    // Named entities and a lone '&' cost tinyxml2 a few bytes each; "&#" at
    // the very end loses its '&', also at once.
    if (at + 2 >= end || text[at + 1] != '#') {
      ++at;
      continue;
    }
    bool reference = false;
    if (text[at + 2] == 'x') {
      reference = semicolon.next(at + 3) < end && semicolon.closesHex();
    } else {
      reference = semicolon.next(at + 2) < end && semicolon.closesDecimal();
    }
    // A reference is decoded whole, '&' bytes inside it included.
    if (reference) {
      at = semicolon.next(at) + 1;
      continue;
    }
    rewrite.insert(at + 1, "amp;");
    ++at;
  }
}

}  // namespace qel::xml
