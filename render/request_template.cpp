// Loading request templates and filling their placeholders.
#include "render/request_template.h"

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
  std::vector<Piece> pieces;
  pieces.push_back(Piece{platform::ansiToWide(*bytes), false});
  pieces_ = std::move(pieces);
}

void RequestTemplate::set(std::wstring key, std::wstring value) {
  const std::wstring pattern = L"{" + key + L"}";

  // Count first, so that a key that is not there costs no rebuilding, and so
  // that the last occurrence can take the value without a copy.
  std::size_t occurrences = 0;
  for (const Piece& piece : pieces_) {
    if (piece.isValue) continue;
    for (auto at = piece.text.find(pattern); at != std::wstring::npos; at = piece.text.find(pattern, at + pattern.size())) {
      ++occurrences;
    }
  }
  if (occurrences == 0) return;

  std::vector<Piece> pieces;
  pieces.reserve(pieces_.size() + 2 * occurrences);
  for (Piece& piece : pieces_) {
    if (piece.isValue) {
      pieces.push_back(std::move(piece));
      continue;
    }
    std::size_t start = 0;
    for (auto at = piece.text.find(pattern); at != std::wstring::npos; at = piece.text.find(pattern, start)) {
      if (at > start) pieces.push_back(Piece{piece.text.substr(start, at - start), false});
      pieces.push_back(Piece{--occurrences == 0 ? std::move(value) : value, true});
      start = at + pattern.size();
    }
    if (start == 0) {
      pieces.push_back(std::move(piece));
    } else if (start < piece.text.size()) {
      pieces.push_back(Piece{piece.text.substr(start), false});
    }
  }
  pieces_ = std::move(pieces);
}

std::wstring RequestTemplate::text() const {
  std::size_t size = 0;
  for (const Piece& piece : pieces_) size += piece.text.size();
  std::wstring text;
  text.reserve(size);
  for (const Piece& piece : pieces_) text += piece.text;
  return text;
}

}  // namespace qel
