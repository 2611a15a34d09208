// One request template: loaded from the library's TEMPLATE resources, its
// {name} placeholders filled with values that are never scanned again.
#pragma once

#include <algorithm>
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

namespace detail {

// Fills slots while a template's bytes pass into the output: the name of a
// placeholder is what was written after its opening brace, and only the
// last opening brace before a closing one can have a name without a brace.
template <typename WriteSlot>
class SlotSink {
 public:
  SlotSink(TextBuffer& out, const std::string_view* keys, std::size_t count, WriteSlot& writeSlot)
      : out_(out), keys_(keys), count_(count), writeSlot_(writeSlot) {}
  char* room(std::size_t bytes) { return out_.room(bytes); }
  void commit(char* end) { out_.commit(end); }
  bool brace(char c) {
    if (c == '{') {
      open_ = out_.size();
      return false;
    }
    if (open_ == kNone) return false;
    const std::size_t open = open_;
    open_ = kNone;
    const std::string_view name(out_.data() + open + 1, out_.size() - open - 1);
    const std::string_view* key = std::find(keys_, keys_ + count_, name);
    if (key == keys_ + count_) return false;
    out_.truncate(open);
    writeSlot_(out_, static_cast<std::size_t>(key - keys_));
    return true;
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  TextBuffer& out_;
  const std::string_view* keys_;
  std::size_t count_;
  WriteSlot& writeSlot_;
  std::size_t open_ = kNone;
};

}  // namespace detail

// Writes ASCII template `bytes` into `out` (without line breaks and tabs for
// TemplateLines::Joined), each "{key}" of the `count` brace-free `keys`
// replaced on the way by what writeSlot(out, slot) writes: the text that
// RequestTemplate's load, bindSlots and appendTo give for the same keys, in
// one pass. Returns false, with `out` as it was, at a byte that is not ASCII.
template <typename WriteSlot>
bool appendFilledAscii(TextBuffer& out, std::string_view bytes, TemplateLines lines, const std::string_view* keys,
                       std::size_t count, WriteSlot&& writeSlot) {
  const std::size_t start = out.size();
  detail::SlotSink<WriteSlot> sink(out, keys, count, writeSlot);
  if (scanAsciiInto(bytes, lines == TemplateLines::Joined, sink)) return true;
  out.truncate(start);
  return false;
}

// A template that fills one place in a request (the envelope, the order):
// found when it is loaded, so that a missing template is reported where it
// always was, and read when the output gets to it, straight into the
// output by appendFilledAscii. Nothing of it is kept: taking it apart first,
// as a RequestTemplate does for an item that serves many, would copy it
// twice.
class StreamedTemplate {
 public:
  // Throws like RequestTemplate::load.
  void load(std::int32_t id);

  // The bytes that appendTo writes besides its slots, at most (for ASCII
  // templates, which all of the library's are).
  std::size_t sizeBound() const { return bytes_.size(); }

  // The `count` `keys` hold no braces.
  template <typename WriteSlot>
  void appendTo(TextBuffer& out, TemplateLines lines, const std::string_view* keys, std::size_t count,
                WriteSlot&& writeSlot) const {
    if (appendFilledAscii(out, bytes_, lines, keys, count, writeSlot)) return;
    // A byte beyond ASCII is read through the code page, which the full
    // loader does.
    RequestTemplate full;
    full.load(id_, lines);
    full.bindSlots(keys, count);
    full.appendTo(out, writeSlot);
  }
  template <std::size_t N, typename WriteSlot>
  void appendTo(TextBuffer& out, TemplateLines lines, const std::string_view (&keys)[N], WriteSlot&& writeSlot) const {
    appendTo(out, lines, keys, N, writeSlot);
  }

 private:
  std::int32_t id_ = 0;
  std::string_view bytes_;
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
