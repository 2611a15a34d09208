// Reading a template into the text that a RequestTemplate keeps: the
// envelope's templates are read for every transaction, so this pass is on
// every sale's way.
#include "render/template_scan.h"

namespace qel {
namespace {

// Writes into a string and notes the braces; every brace stays in the text.
class NotingSink {
 public:
  NotingSink(std::string& text, std::vector<TemplateBrace>& braces)
      : text_(text), braces_(braces), unclosed_(braces.size()) {}

  char* room(std::size_t bytes) {
    if (text_.size() < size_ + bytes) text_.resize(size_ + bytes);
    return text_.data() + size_;
  }
  void commit(char* end) { size_ = static_cast<std::size_t>(end - text_.data()); }
  bool brace(char c) {
    if (c == '{') {
      braces_.push_back(TemplateBrace{size_, std::string::npos});
    } else {
      // The braces from unclosed_ on wait for a closing brace.
      for (; unclosed_ < braces_.size(); ++unclosed_) braces_[unclosed_].close = size_;
    }
    return false;
  }
  std::size_t size() const { return size_; }

 private:
  std::string& text_;
  std::vector<TemplateBrace>& braces_;
  std::size_t unclosed_;
  std::size_t size_ = 0;
};

}  // namespace

bool scanAsciiTemplate(std::string_view bytes, bool joinLines, std::string& text, std::vector<TemplateBrace>& braces) {
  const std::size_t firstBrace = braces.size();
  NotingSink sink(text, braces);
  if (!scanAsciiInto(bytes, joinLines, sink)) {
    text.clear();
    braces.resize(firstBrace);
    return false;
  }
  text.resize(sink.size());
  return true;
}

}  // namespace qel
