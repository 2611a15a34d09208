// A copy of a text with some ranges blanked and some bytes inserted, made
// only once the first change is asked for.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::xml {

class Rewrite {
 public:
  explicit Rewrite(std::string_view text) : text_(text) {}

  // Changes must come in the order of their positions and must not overlap.
  // Blanking keeps line feeds, so that the parser counts the same lines.
  void blank(std::size_t begin, std::size_t end);
  void insert(std::size_t position, std::string_view bytes);

  // The text with every change, or the text itself when nothing changed.
  std::string_view result();

 private:
  void copyUpTo(std::size_t position);

  std::string_view text_;
  std::string copy_;
  std::size_t copied_ = 0;
  bool changed_ = false;
};

}  // namespace qel::xml
