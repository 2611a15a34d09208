// One request template: loaded from the library's TEMPLATE resources, its
// {name} placeholders filled with values that are never scanned again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

class RequestTemplate {
 public:
  RequestTemplate() = default;

  // Replaces the text with template `id` (its low 16 bits name the resource).
  // Throws VubException "Could not find Template with id: <id>" carrying the
  // system's error code when there is none; the text is then unchanged.
  void load(std::int32_t id);

  // Replaces every "{key}" in the template's own text by `value`. Values
  // inserted earlier are data, not template text: they are never searched,
  // so a value that happens to read "{summe}" reaches the document as is.
  void set(std::wstring_view key, std::wstring value);

  // Like set with the concatenation of `parts` as the value, without joining
  // them first: a long list of rendered items is copied only once, into the
  // finished text.
  void setJoined(std::wstring_view key, std::vector<std::wstring> parts);

  // The template text with every value in its place.
  std::wstring text() const;

 private:
  // The loaded text never changes, so copies of a loaded template share it;
  // `braces` lists where a placeholder can begin.
  struct Source {
    std::wstring text;
    std::vector<std::size_t> braces;
  };

  // The current text is a sequence of pieces, each either a span of the
  // source (searched for placeholders) or an inserted value (never searched).
  // A value is a range of parts in values_, held once however often its key
  // occurs. Source spans stay in the order of the source.
  struct Piece {
    bool isValue;
    std::size_t begin;  // into the source text, or the first part in values_
    std::size_t size;   // characters of the source, or number of parts
  };

  // Replaces "{key}" by the parts from `firstPart` to the end of values_;
  // returns false, and changes nothing, when the key does not occur.
  bool insert(std::wstring_view key, std::size_t firstPart);

  std::shared_ptr<const Source> source_;
  std::vector<Piece> pieces_;
  std::vector<std::wstring> values_;
  std::vector<Piece> scratch_;  // where insert builds the next pieces_
};

}  // namespace qel
