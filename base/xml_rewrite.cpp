// Rewrite: the copy of a text with its changes.
#include "base/xml_rewrite.h"

namespace qel::xml {

void Rewrite::copyUpTo(std::size_t position) {
  if (!changed_) {
    // Room for the text and a little growth; inserted bytes are rare.
    copy_.reserve(text_.size() + text_.size() / 8);
    changed_ = true;
  }
  copy_.append(text_.substr(copied_, position - copied_));
  copied_ = position;
}

void Rewrite::blank(std::size_t begin, std::size_t end) {
  copyUpTo(begin);
  for (std::size_t i = begin; i < end; ++i) copy_.push_back(text_[i] == '\n' ? '\n' : ' ');
  copied_ = end;
}

void Rewrite::insert(std::size_t position, std::string_view bytes) {
  copyUpTo(position);
  copy_.append(bytes);
}

std::string_view Rewrite::result() {
  if (!changed_) return text_;
  copyUpTo(text_.size());
  return copy_;
}

}  // namespace qel::xml
