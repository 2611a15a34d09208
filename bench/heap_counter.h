// Counts the bytes that the program holds on the heap, through a replacement
// of the global operator new and delete, so that a benchmark can report the
// peak that one operation reaches.
#pragma once

#include <cstddef>

namespace qel::bench {

// Bytes allocated through operator new and not yet freed.
std::size_t heapInUse();

// Measures the highest heap use above the level at construction, from then
// until peak() is asked.
class HeapPeak {
 public:
  HeapPeak();
  // The most bytes held at any moment beyond what was held at construction.
  std::size_t peak() const;

 private:
  std::size_t base_;
};

}  // namespace qel::bench
