// Loading request templates and filling their placeholders.
#include "render/request_template.h"

#include <iterator>
#include <utility>

#include "host/vub_exception.h"
#include "platform/platform.h"
#include "render/format.h"

namespace qel {
namespace {

constexpr wchar_t kTemplateNotFound[] = L"Could not find Template with id: ";

}  // namespace

void RequestTemplate::load(std::int32_t id) {
  std::uint32_t lastError = 0;
  const auto bytes = platform::findTemplate(static_cast<std::uint16_t>(id), lastError);
  if (!bytes) throw VubException(kTemplateNotFound + formatInt(id), static_cast<std::int32_t>(lastError));
  // Template bytes are ASCII; the conversion keeps exactly one character per
  // byte of the resource and nothing that follows it in memory.
  auto source = std::make_shared<Source>();
  source->text = platform::ansiToWide(*bytes);
  for (std::size_t i = 0; i < source->text.size(); ++i) {
    if (source->text[i] == L'{') source->braces.push_back(i);
  }
  std::vector<Piece> pieces;
  pieces.reserve(2 * source->braces.size() + 1);
  pieces.push_back(Piece{false, 0, source->text.size()});

  pieces_ = std::move(pieces);
  values_.clear();
  values_.reserve(source->braces.size());
  source_ = std::move(source);
}

void RequestTemplate::set(std::wstring_view key, std::wstring value) {
  // A copy of a loaded template starts without room for its values.
  if (values_.capacity() == 0 && source_) values_.reserve(source_->braces.size());
  const std::size_t firstPart = values_.size();
  values_.push_back(std::move(value));
  if (!insert(key, firstPart)) values_.pop_back();
}

void RequestTemplate::setJoined(std::wstring_view key, std::vector<std::wstring> parts) {
  const std::size_t firstPart = values_.size();
  values_.insert(values_.end(), std::make_move_iterator(parts.begin()), std::make_move_iterator(parts.end()));
  if (!insert(key, firstPart)) values_.resize(firstPart);
}

// Only source spans are searched, left to right, and only where a brace
// stands; a value piece is carried over as it is.
bool RequestTemplate::insert(std::wstring_view key, std::size_t firstPart) {
  if (!source_) return false;
  const std::wstring_view text = source_->text;
  const std::vector<std::size_t>& braces = source_->braces;
  const std::size_t placeholderSize = key.size() + 2;
  const Piece value{true, firstPart, values_.size() - firstPart};

  std::vector<Piece>& pieces = scratch_;
  pieces.clear();
  std::size_t brace = 0;
  bool found = false;
  for (std::size_t p = 0; p < pieces_.size(); ++p) {
    const Piece& piece = pieces_[p];
    if (piece.isValue) {
      if (found) pieces.push_back(piece);
      continue;
    }
    const std::size_t end = piece.begin + piece.size;
    std::size_t start = piece.begin;
    while (brace < braces.size() && braces[brace] < start) ++brace;
    for (; brace < braces.size() && braces[brace] + placeholderSize <= end; ++brace) {
      const std::size_t at = braces[brace];
      if (at < start || text[at + placeholderSize - 1] != L'}' || text.compare(at + 1, key.size(), key) != 0) {
        continue;
      }
      if (!found) {
        // The first match: everything before this piece stays as it was.
        pieces.reserve(2 * braces.size() + 1);
        pieces.assign(pieces_.begin(), pieces_.begin() + static_cast<std::ptrdiff_t>(p));
        found = true;
      }
      if (at > start) pieces.push_back(Piece{false, start, at - start});
      pieces.push_back(value);
      start = at + placeholderSize;
    }
    if (found && start < end) pieces.push_back(Piece{false, start, end - start});
  }
  if (found) pieces_.swap(scratch_);
  return found;
}

std::wstring RequestTemplate::text() const {
  std::size_t size = 0;
  for (const Piece& piece : pieces_) {
    if (!piece.isValue) {
      size += piece.size;
    } else {
      for (std::size_t i = piece.begin; i < piece.begin + piece.size; ++i) size += values_[i].size();
    }
  }
  std::wstring text;
  text.reserve(size);
  for (const Piece& piece : pieces_) {
    if (!piece.isValue) {
      text.append(source_->text, piece.begin, piece.size);
    } else {
      for (std::size_t i = piece.begin; i < piece.begin + piece.size; ++i) text += values_[i];
    }
  }
  return text;
}

}  // namespace qel
