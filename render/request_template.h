// One request template: loaded from the library's TEMPLATE resources, its
// {name} placeholders filled with values that are never scanned again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "render/template_scan.h"
#include "render/text_buffer.h"

namespace qel {

// How a template's own line breaks and tabs are taken: as stored, or left
// out (for the wire, where the whole envelope is one line anyway).
enum class TemplateLines { AsStored, Joined };

class RequestTemplate {
 public:
  RequestTemplate() = default;

  // Replaces the text with template `id` (its low 16 bits name the resource).
  // Throws VubException "Could not find Template with id: <id>" carrying the
  // system's error code when there is none; the text is then unchanged.
  void load(std::int32_t id, TemplateLines lines = TemplateLines::AsStored);

  // Replaces every "{key}" in the template's own text by `value`. Values
  // inserted earlier are data, not template text: they are never searched,
  // so a value that happens to read "{summe}" reaches the document as is.
  void set(std::wstring_view key, std::wstring value);

  // Like set with the concatenation of `parts` as the value.
  void setJoined(std::wstring_view key, std::vector<std::wstring> parts);

  // The template text with every value in its place.
  std::wstring text() const;

  // The request is sent as UTF-8 and is built as UTF-8 throughout, so that
  // a large order is neither held as wide text nor converted at the end.
  // `key` is ASCII; `value` is UTF-8.
  void setUtf8(std::string_view key, std::string value);

  // Marks every "{key}" as slot number `slot`, whose value the caller of
  // appendTo writes straight into the document when it gets there. A list
  // of items is thus written once, into its final place, and a template
  // whose keys are bound once serves every item of a list.
  void bindSlot(std::string_view key, std::size_t slot);

  // bindSlot(keys[i], i) for every key in turn, in one pass over the
  // template when no key holds a brace (then no two placeholders that the
  // keys name can overlap, and each is bound to the first key naming it).
  template <std::size_t N>
  void bindSlots(const std::string_view (&keys)[N]) {
    bindSlots(keys, N);
  }
  void bindSlots(const std::string_view* keys, std::size_t count);

  // The bytes of the UTF-8 text without the values of slots.
  std::size_t sizeWithoutSlots() const;

  // Appends the text (UTF-8) to `out`; `writeSlot(out, slot)` writes the
  // value of each bound slot.
  template <typename WriteSlot>
  void appendTo(TextBuffer& out, WriteSlot&& writeSlot) const;
  void appendTo(TextBuffer& out) const;

 private:
  // Where a placeholder can begin: an opening brace, and the first closing
  // brace after it (npos if none). A key without a closing brace of its own
  // can only match where the closing brace lies right after the key.
  using Brace = TemplateBrace;

  // The loaded text never changes, so copies of a loaded template share it.
  struct Source {
    std::string text;
    std::vector<Brace> braces;
  };

  // The current text is a sequence of pieces: a span of the source (searched
  // for placeholders), an inserted value (never searched), or a slot. A value
  // is a range of parts in values_, held once however often its key occurs.
  // Source spans stay in the order of the source.
  enum class Kind : std::uint8_t { Source, Value, Slot };
  struct Piece {
    Kind kind;
    std::size_t begin;  // into the source text, the first part in values_, or the slot
    std::size_t size;   // characters of the source, or number of parts
  };

  static bool readAscii(std::string_view bytes, TemplateLines lines, Source& source);
  static void findBraces(Source& source);

  // Replaces "{key}" by `piece`; returns false, and changes nothing, when
  // the key does not occur.
  bool insert(std::string_view key, const Piece& piece);
  void setParts(std::string_view key, std::size_t firstPart);
  void appendValue(TextBuffer& out, const Piece& piece) const;

  std::shared_ptr<const Source> source_;
  std::vector<Piece> pieces_;
  std::vector<std::string> values_;
};

template <typename WriteSlot>
void RequestTemplate::appendTo(TextBuffer& out, WriteSlot&& writeSlot) const {
  for (const Piece& piece : pieces_) {
    if (piece.kind == Kind::Source) {
      out.append(source_->text.data() + piece.begin, piece.size);
    } else if (piece.kind == Kind::Slot) {
      writeSlot(out, piece.begin);
    } else {
      appendValue(out, piece);
    }
  }
}

}  // namespace qel
