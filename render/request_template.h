// One request template: loaded from the library's TEMPLATE resources, its
// {name} placeholders filled with values that are never scanned again.
#pragma once

#include <cstdint>
#include <string>
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
  void set(std::wstring key, std::wstring value);

  // The template text with every value in its place.
  std::wstring text() const;

 private:
  // The text is kept as a sequence of pieces, each either template text (in
  // which placeholders are looked for) or an inserted value (never searched).
  struct Piece {
    std::wstring text;
    bool isValue;
  };
  std::vector<Piece> pieces_;
};

}  // namespace qel
