// Loading request templates and filling their placeholders.
#include "render/request_template.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "host/vub_exception.h"
#include "platform/platform.h"
#include "render/format.h"

namespace qel {
namespace {

constexpr wchar_t kTemplateNotFound[] = L"Could not find Template with id: ";

bool isAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Keys are ASCII names; a key that is not ASCII cannot occur in an ASCII
// template, and its UTF-8 form cannot occur in the UTF-8 text either.
std::string keyOf(std::wstring_view key) { return platform::wideToUtf8(key); }

}  // namespace

void RequestTemplate::load(std::int32_t id, TemplateLines lines) {
  std::uint32_t lastError = 0;
  const auto bytes = platform::findTemplate(static_cast<std::uint16_t>(id), lastError);
  if (!bytes) throw VubException(kTemplateNotFound + formatInt(id), static_cast<std::int32_t>(lastError));
  // The bytes are read in the ANSI code page, one character per byte of the
  // resource and nothing that follows it in memory. Template bytes are
  // ASCII, which every code page and UTF-8 read alike, so they are taken as
  // they are; only other bytes would need the code page.
  auto source = std::make_shared<Source>();
  source->text = isAscii(*bytes) ? std::string(*bytes) : platform::wideToUtf8(platform::ansiToWide(*bytes));
  if (lines == TemplateLines::Joined) removeLineBreaks(source->text);
  for (std::size_t i = 0; i < source->text.size(); ++i) {
    if (source->text[i] == '{') source->braces.push_back(i);
  }
  std::vector<Piece> pieces;
  pieces.reserve(2 * source->braces.size() + 1);
  pieces.push_back(Piece{Kind::Source, 0, source->text.size()});

  pieces_ = std::move(pieces);
  values_.clear();
  values_.reserve(source->braces.size());
  source_ = std::move(source);
}

void RequestTemplate::set(std::wstring_view key, std::wstring value) {
  setUtf8(keyOf(key), platform::wideToUtf8(value));
}

void RequestTemplate::setUtf8(std::string_view key, std::string value) {
  // A copy of a loaded template starts without room for its values.
  if (values_.capacity() == 0 && source_) values_.reserve(source_->braces.size());
  const std::size_t firstPart = values_.size();
  values_.push_back(std::move(value));
  setParts(key, firstPart);
}

void RequestTemplate::setJoined(std::wstring_view key, std::vector<std::wstring> parts) {
  const std::size_t firstPart = values_.size();
  values_.reserve(values_.size() + parts.size());
  for (const std::wstring& part : parts) values_.push_back(platform::wideToUtf8(part));
  setParts(keyOf(key), firstPart);
}

// Inserts the parts from `firstPart` to the end of values_ as one value, or
// drops them again when the key does not occur.
void RequestTemplate::setParts(std::string_view key, std::size_t firstPart) {
  if (!insert(key, Piece{Kind::Value, firstPart, values_.size() - firstPart})) values_.resize(firstPart);
}

void RequestTemplate::bindSlot(std::string_view key, std::size_t slot) { insert(key, Piece{Kind::Slot, slot, 0}); }

// Only source spans are searched, left to right, and only where a brace
// stands; value and slot pieces are carried over as they are.
bool RequestTemplate::insert(std::string_view key, const Piece& value) {
  if (!source_) return false;
  const std::string_view text = source_->text;
  const std::vector<std::size_t>& braces = source_->braces;
  const std::size_t placeholderSize = key.size() + 2;

  std::vector<Piece>& pieces = scratch_;
  pieces.clear();
  std::size_t brace = 0;
  bool found = false;
  for (std::size_t p = 0; p < pieces_.size(); ++p) {
    const Piece& piece = pieces_[p];
    if (piece.kind != Kind::Source) {
      if (found) pieces.push_back(piece);
      continue;
    }
    const std::size_t end = piece.begin + piece.size;
    std::size_t start = piece.begin;
    while (brace < braces.size() && braces[brace] < start) ++brace;
    for (; brace < braces.size() && braces[brace] + placeholderSize <= end; ++brace) {
      const std::size_t at = braces[brace];
      if (at < start || text[at + placeholderSize - 1] != '}' || text.compare(at + 1, key.size(), key) != 0) {
        continue;
      }
      if (!found) {
        // The first match: everything before this piece stays as it was.
        pieces.reserve(2 * braces.size() + 1);
        pieces.assign(pieces_.begin(), pieces_.begin() + static_cast<std::ptrdiff_t>(p));
        found = true;
      }
      if (at > start) pieces.push_back(Piece{Kind::Source, start, at - start});
      pieces.push_back(value);
      start = at + placeholderSize;
    }
    if (found && start < end) pieces.push_back(Piece{Kind::Source, start, end - start});
  }
  if (found) pieces_.swap(scratch_);
  return found;
}

void RequestTemplate::appendValue(std::string& out, const Piece& piece) const {
  for (std::size_t i = piece.begin; i < piece.begin + piece.size; ++i) out += values_[i];
}

std::size_t RequestTemplate::sizeWithoutSlots() const {
  std::size_t size = 0;
  for (const Piece& piece : pieces_) {
    if (piece.kind == Kind::Source) {
      size += piece.size;
    } else if (piece.kind == Kind::Value) {
      for (std::size_t i = piece.begin; i < piece.begin + piece.size; ++i) size += values_[i].size();
    }
  }
  return size;
}

// A template without slots: nothing to write for them.
void RequestTemplate::appendTo(std::string& out) const {
  appendTo(out, [](std::string&, std::size_t) {});
}

std::wstring RequestTemplate::text() const {
  std::string text;
  appendTo(text);
  return platform::utf8ToWide(text);
}

}  // namespace qel
