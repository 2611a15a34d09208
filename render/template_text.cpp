// Reading a request template once per document: a word-at-a-time pass over
// its bytes that drops the line breaks and tabs and finds the placeholders.
#include "render/template_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "base/int_format.h"
#include "base/vub_exception.h"
#include "platform/platform.h"
#include "render/format.h"

namespace qel {
namespace {

constexpr wchar_t kTemplateNotFound[] = L"Could not find Template with id: ";
constexpr wchar_t kUnknownPlaceholder[] = L"Unknown placeholder in template ";
constexpr wchar_t kMissingPlaceholder[] = L"Missing placeholder in template ";
constexpr wchar_t kUnbalancedBrace[] = L"Unbalanced brace in template ";

// Word-at-a-time tests on eight bytes: each sets the high bit of a byte that
// matches (exactly for the lowest matching byte; bytes above it may also be
// marked, which only sends them through the byte-by-byte path).
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t zeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighBits; }
constexpr std::uint64_t bytesBelow(std::uint64_t word, unsigned char limit) {
  return (word - kOnes * limit) & ~word & kHighBits;
}
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first marked byte of a word is found from its low end");

bool isLineBreakOrTab(char c) { return c == '\n' || c == '\t' || c == '\r'; }

VubException templateError(const wchar_t* what, std::int32_t id, std::string_view detail = {}) {
  std::wstring message = what + formatInt(id);
  if (!detail.empty()) message += L": " + platform::utf8ToWide(detail);
  return VubException(message);
}

}  // namespace

std::string_view TemplateText::bytesOf(std::int32_t id) {
  std::uint32_t lastError = 0;
  const auto bytes = platform::findTemplate(static_cast<std::uint16_t>(id), lastError);
  if (!bytes) throw VubException(kTemplateNotFound + formatInt(id), static_cast<std::int32_t>(lastError));
  return *bytes;
}

// A word without a brace or a control character is copied whole; otherwise
// everything before its first such byte is, and that byte is handled on its
// own. An opening brace is not copied: the name after it is, and when the
// closing brace comes the name is taken back out and a slot left in its place.
void TemplateText::read(std::int32_t id, std::string_view bytes, const std::string_view* keys, std::size_t count) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  if (static_cast<std::uint64_t>(bytes.size()) >> 32 != 0) throw std::length_error("a template is below 4 GiB");
  // Room for the last word's whole eight bytes, of which only some count.
  text_.reset(new char[bytes.size() + sizeof(std::uint64_t)]);
  slotCount_ = 0;
  moreSlots_.clear();
  if (count > kMaxKeys) throw std::length_error("a template has at most 64 keys");
  std::uint64_t used = 0;
  char* const text = text_.get();
  char* out = text;
  const char* in = bytes.data();
  const char* const end = in + bytes.size();
  std::size_t open = kNone;
  for (;;) {
    if (end - in >= static_cast<std::ptrdiff_t>(sizeof(std::uint64_t))) {
      std::uint64_t word;
      std::memcpy(&word, in, sizeof word);
      const std::uint64_t marks =
          zeroBytes(word ^ (kOnes * '{')) | zeroBytes(word ^ (kOnes * '}')) | bytesBelow(word, 0x20);
      std::memcpy(out, &word, sizeof word);
      if (marks == 0) {
        in += sizeof word;
        out += sizeof word;
        continue;
      }
      const auto plain = static_cast<std::size_t>(__builtin_ctzll(marks) / 8);
      in += plain;
      out += plain;
    } else if (in == end) {
      break;
    }
    const char c = *in++;
    if (c == '{') {
      if (open != kNone) throw templateError(kUnbalancedBrace, id);
      open = static_cast<std::size_t>(out - text);
      continue;
    }
    if (c == '}') {
      if (open == kNone) throw templateError(kUnbalancedBrace, id);
      const std::string_view name(text + open, static_cast<std::size_t>(out - text) - open);
      const std::size_t key = static_cast<std::size_t>(std::find(keys, keys + count, name) - keys);
      if (key == count) throw templateError(kUnknownPlaceholder, id, "{" + std::string(name) + "}");
      used |= std::uint64_t{1} << key;
      addSlot(Slot{static_cast<std::uint32_t>(open), static_cast<std::uint32_t>(key)});
      out = text + open;
      open = kNone;
      continue;
    }
    if (isLineBreakOrTab(c)) {
      // A line ends in a run of these (CR LF and the next line's tabs),
      // dropped here at once rather than a word at a time.
      while (in != end && isLineBreakOrTab(*in)) ++in;
      continue;
    }
    *out++ = c;
  }
  if (open != kNone) throw templateError(kUnbalancedBrace, id);
  size_ = static_cast<std::size_t>(out - text);
  for (std::size_t key = 0; key < count; ++key) {
    if ((used >> key & 1) == 0) throw templateError(kMissingPlaceholder, id, "{" + std::string(keys[key]) + "}");
  }
}

void TemplateText::addSlot(Slot slot) {
  if (slotCount_ < kInlineSlots) {
    inlineSlots_[slotCount_++] = slot;
    return;
  }
  if (slotCount_ == kInlineSlots) moreSlots_.assign(inlineSlots_, inlineSlots_ + kInlineSlots);
  moreSlots_.push_back(slot);
  ++slotCount_;
}

}  // namespace qel
