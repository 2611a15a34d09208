// One request template bound to the table of its placeholders: each row a
// key and the function that writes the key's value, so that the two cannot
// drift apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "render/template_text.h"
#include "render/text_buffer.h"

namespace qel {

// A placeholder "{key}" and what writes its value for an `item`, with the
// `context` that the item is written in (the other templates of a document).
template <typename Context, typename Item>
struct Placeholder {
  std::string_view key;
  void (*write)(TextBuffer& out, const Context& context, const Item& item);
};

// Loaded once for a document, then written once for each item of its kind.
template <typename Context, typename Item>
class RequestTemplate {
 public:
  using Row = Placeholder<Context, Item>;

  // Loads template `id` and binds its placeholders to `rows`. Throws
  // VubException when there is no such template, or when the template holds
  // a placeholder that no row names or lacks one that a row names.
  template <std::size_t N>
  void load(std::int32_t id, const Row (&rows)[N]) {
    read(id, TemplateText::bytesOf(id), rows);
  }

  // The same with the template's bytes given (tests bring their own).
  template <std::size_t N>
  void read(std::int32_t id, std::string_view bytes, const Row (&rows)[N]) {
    static_assert(N <= TemplateText::kMaxKeys);
    std::array<std::string_view, N> keys{};
    for (std::size_t i = 0; i < N; ++i) keys[i] = rows[i].key;
    text_.read(id, bytes, keys.data(), N);
    rows_ = rows;
  }

  // The bytes that write appends besides the values, for every item alike.
  std::size_t textSize() const { return text_.size(); }

  void write(TextBuffer& out, const Context& context, const Item& item) const {
    text_.appendTo(out, [&](TextBuffer& out, std::size_t row) { rows_[row].write(out, context, item); });
  }

 private:
  TemplateText text_;
  const Row* rows_ = nullptr;
};

}  // namespace qel
