// A request template as the request carries it: its bytes without line
// breaks and tabs, cut where its placeholders stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "render/text_buffer.h"

namespace qel {

class TemplateText {
 public:
  // The keys of a template are told apart by the bits of one word.
  static constexpr std::size_t kMaxKeys = 64;

  // The bytes of template `id` (its low 16 bits name the resource). Throws
  // VubException "Could not find Template with id: <id>" carrying the
  // system's error code when there is none.
  static std::string_view bytesOf(std::int32_t id);

  // Takes `bytes` apart: each "{key}" becomes a slot that holds the key's
  // index in `keys`, and every other brace is an error, as is a key without
  // a placeholder; both throw VubException naming template `id`. The build
  // makes sure that the library's templates are ASCII; other bytes are kept
  // as they are.
  void read(std::int32_t id, std::string_view bytes, const std::string_view* keys, std::size_t count);

  // The bytes that appendTo writes besides the values of the slots.
  std::size_t size() const { return size_; }

  // Appends the text to `out`; `writeSlot(out, key)` writes each slot's value
  // where its placeholder stood.
  template <typename WriteSlot>
  void appendTo(TextBuffer& out, WriteSlot&& writeSlot) const {
    const char* const text = text_.get();
    std::size_t at = 0;
    for (const Slot* slot = slots(); slot != slots() + slotCount_; ++slot) {
      out.append(text + at, slot->at - at);
      writeSlot(out, slot->key);
      at = slot->at;
    }
    out.append(text + at, size_ - at);
  }

 private:
  struct Slot {
    std::uint32_t at;   // where in the text the value goes
    std::uint32_t key;  // index into the keys given to read
  };
  // A template is read for every transfer; the slots of one as large as the
  // order template are kept without an allocation of their own.
  static constexpr std::size_t kInlineSlots = 24;

  const Slot* slots() const { return slotCount_ <= kInlineSlots ? inlineSlots_ : moreSlots_.data(); }
  void addSlot(Slot slot);

  std::unique_ptr<char[]> text_;
  std::size_t size_ = 0;
  Slot inlineSlots_[kInlineSlots];
  std::vector<Slot> moreSlots_;  // all of them, once there are more
  std::size_t slotCount_ = 0;
};

}  // namespace qel
