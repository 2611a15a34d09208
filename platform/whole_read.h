// The read loop that both sides of the working-folder files share: a whole
// file read into memory, never more than its limit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qel::platform::detail {

// The first read's room when the file reports no size; the room then grows
// as the bytes arrive.
constexpr std::size_t kFirstRead = 4096;

// Reads an opened file that reported `size` bytes to its end, but never more
// than `maxBytes` + 1 bytes: one byte beyond the limit tells that the file
// holds too much. `readSome(into, wanted, got, error)` reads at most
// `wanted` bytes (at most `largestRead`) and returns false with the system's
// error when the read failed.
template <typename ReadSome>
FileReadResult readWhole(std::size_t size, std::string& content, std::size_t maxBytes, std::size_t largestRead,
                         ReadSome&& readSome) {
  const std::size_t limit = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
  // Room for one byte more than the file reports: a read that comes back
  // short has then met the end, and the file is not asked again.
  std::size_t room = std::min(size > 0 ? size + 1 : kFirstRead, limit);
  std::size_t filled = 0;
  for (;;) {
    content.resize(room);
    const std::size_t wanted = std::min(room - filled, largestRead);
    std::size_t got = 0;
    std::uint32_t error = 0;
    if (!readSome(content.data() + filled, wanted, got, error)) {
      content.clear();
      return {FileRead::Failed, error};
    }
    filled += got;
    // The file may have grown since it reported its size.
    if (filled > maxBytes) {
      content.clear();
      return {FileRead::TooLarge, 0};
    }
    if (got == 0 || got < wanted) break;
    if (filled == room) room = room <= limit / 2 ? room * 2 : limit;
  }
  content.resize(filled);
  return {FileRead::Ok, 0};
}

}  // namespace qel::platform::detail
