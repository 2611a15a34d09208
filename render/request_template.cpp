// Loading request templates and filling their placeholders.
#include "render/request_template.h"

#include <algorithm>
#include <utility>

#include "base/int_format.h"
#include "base/vub_exception.h"
#include "platform/platform.h"
#include "render/format.h"

namespace qel {
namespace {

constexpr wchar_t kTemplateNotFound[] = L"Could not find Template with id: ";

// The bytes of template `id`, or the exception that names it.
std::string_view templateBytes(std::int32_t id) {
  std::uint32_t lastError = 0;
  const auto bytes = platform::findTemplate(static_cast<std::uint16_t>(id), lastError);
  if (!bytes) throw VubException(kTemplateNotFound + formatInt(id), static_cast<std::int32_t>(lastError));
  return *bytes;
}

// Keys are ASCII names; a key that is not ASCII cannot occur in an ASCII
// template, and its UTF-8 form cannot occur in the UTF-8 text either.
std::string keyOf(std::wstring_view key) { return platform::wideToUtf8(key); }

}  // namespace

bool RequestTemplate::readAscii(std::string_view bytes, TemplateLines lines, Source& source) {
  return scanAsciiTemplate(bytes, lines == TemplateLines::Joined, source.text, source.braces);
}

void RequestTemplate::findBraces(Source& source) {
  const std::string& text = source.text;
  for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
    source.braces.push_back(Brace{at, text.find('}', at + 1)});
  }
}

void RequestTemplate::load(std::int32_t id, TemplateLines lines) {
  const std::string_view bytes = templateBytes(id);
  // The bytes are read in the ANSI code page, one character per byte of the
  // resource and nothing that follows it in memory. Template bytes are
  // ASCII, which every code page and UTF-8 read alike, so they are taken as
  // they are; only other bytes need the code page.
  auto source = std::make_shared<Source>();
  source->braces.reserve(32);
  if (!readAscii(bytes, lines, *source)) {
    source->text = platform::wideToUtf8(platform::ansiToWide(bytes));
    if (lines == TemplateLines::Joined) removeLineBreaks(source->text);
    findBraces(*source);
  }
  const std::string& text = source->text;

  // Room for every placeholder to split its source piece in two; values
  // get their room when the first one is set.
  pieces_.clear();
  pieces_.reserve(2 * source->braces.size() + 1);
  pieces_.push_back(Piece{Kind::Source, 0, text.size()});
  values_.clear();
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

void RequestTemplate::bindSlots(const std::string_view* keys, std::size_t count) {
  const auto hasBrace = [](std::string_view key) {
    return std::any_of(key.begin(), key.end(), [](char c) { return c == '{' || c == '}'; });
  };
  if (!source_ || std::any_of(keys, keys + count, hasBrace)) {
    for (std::size_t slot = 0; slot < count; ++slot) bindSlot(keys[slot], slot);
    return;
  }
  // A key without braces matches exactly the placeholders whose name (the
  // text up to the first closing brace) it is, where the placeholder lies
  // wholly in the template's own text.
  const std::string_view text = source_->text;
  // A freshly loaded template is one source piece, and load left room for
  // every split, so its pieces are rebuilt in place; others into a new list.
  Piece single{};
  std::vector<Piece> previous;
  const Piece* first = &single;
  const Piece* last = first + 1;
  if (pieces_.size() == 1) {
    single = pieces_.front();
    pieces_.clear();
  } else {
    previous.swap(pieces_);
    pieces_.reserve(previous.size() + 2 * source_->braces.size());
    first = previous.data();
    last = first + previous.size();
  }
  std::size_t brace = 0;
  for (const Piece* it = first; it != last; ++it) {
    const Piece& piece = *it;
    if (piece.kind != Kind::Source) {
      pieces_.push_back(piece);
      continue;
    }
    const std::size_t end = piece.begin + piece.size;
    std::size_t start = piece.begin;
    while (brace < source_->braces.size() && source_->braces[brace].open < start) ++brace;
    for (; brace < source_->braces.size() && source_->braces[brace].open < end; ++brace) {
      const Brace& b = source_->braces[brace];
      if (b.open < start || b.close == std::string::npos || b.close >= end) continue;
      const std::string_view name = text.substr(b.open + 1, b.close - b.open - 1);
      const std::string_view* key = std::find(keys, keys + count, name);
      if (key == keys + count) continue;
      if (b.open > start) pieces_.push_back(Piece{Kind::Source, start, b.open - start});
      pieces_.push_back(Piece{Kind::Slot, static_cast<std::size_t>(key - keys), 0});
      start = b.close + 1;
    }
    if (start < end) pieces_.push_back(Piece{Kind::Source, start, end - start});
  }
}

// Only the template's own text is searched, and only where a brace stands:
// a match must lie wholly inside one source piece, since values and slots
// are never searched. Matches are taken left to right, each splitting its
// source piece around the new piece.
bool RequestTemplate::insert(std::string_view key, const Piece& value) {
  if (!source_) return false;
  const std::string_view text = source_->text;
  const std::size_t placeholderSize = key.size() + 2;
  const bool keyHasClosingBrace = key.find('}') != std::string_view::npos;
  bool found = false;
  std::size_t p = 0;  // the piece where the search goes on
  for (const Brace& brace : source_->braces) {
    const std::size_t at = brace.open;
    if (!keyHasClosingBrace && brace.close != at + placeholderSize - 1) continue;
    if (at + placeholderSize > text.size() || text[at + placeholderSize - 1] != '}' ||
        text.compare(at + 1, key.size(), key) != 0) {
      continue;
    }
    while (p < pieces_.size() && (pieces_[p].kind != Kind::Source || pieces_[p].begin + pieces_[p].size <= at)) ++p;
    if (p == pieces_.size()) break;
    const Piece piece = pieces_[p];
    if (at < piece.begin || at + placeholderSize > piece.begin + piece.size) continue;
    // [before][value][after], leaving out empty spans of the source.
    const Piece before{Kind::Source, piece.begin, at - piece.begin};
    const Piece after{Kind::Source, at + placeholderSize, piece.begin + piece.size - at - placeholderSize};
    std::size_t next = p;
    if (before.size > 0) pieces_[next++] = before;
    const auto position = pieces_.begin() + static_cast<std::ptrdiff_t>(next);
    if (next == p) {
      pieces_[p] = value;
    } else {
      pieces_.insert(position, value);
    }
    ++next;
    if (after.size > 0) pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(next), after);
    p = next;
    found = true;
  }
  return found;
}

void RequestTemplate::appendValue(TextBuffer& out, const Piece& piece) const {
  for (std::size_t i = piece.begin; i < piece.begin + piece.size; ++i) out.append(values_[i]);
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
void RequestTemplate::appendTo(TextBuffer& out) const {
  appendTo(out, [](TextBuffer&, std::size_t) {});
}

void StreamedTemplate::load(std::int32_t id) {
  bytes_ = templateBytes(id);
  id_ = id;
}

std::wstring RequestTemplate::text() const {
  TextBuffer text;
  appendTo(text);
  return platform::utf8ToWide(text.view());
}

}  // namespace qel
