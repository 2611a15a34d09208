// Read-only views of the host's byte-packed sale and refund records. Every
// field is read at its explicit offset with an alignment-safe copy; nothing
// here relies on the compiler's structure layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace qel {

namespace hostbytes {

template <typename T>
inline T read(const std::uint8_t* base, std::size_t offset) {
  T value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

// A host pointer field is a 32-bit address. On the 32-bit DLL it is a pointer
// as it stands; on 64-bit POSIX it is widened (test hosts place their arrays
// below 4 GiB).
inline const std::uint8_t* readPointer(const std::uint8_t* base, std::size_t offset) {
  return reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(read<std::uint32_t>(base, offset)));
}

// A narrow text field ends at its first NUL byte or at the end of its field.
inline std::string_view readText(const std::uint8_t* base, std::size_t offset, std::size_t width) {
  const char* text = reinterpret_cast<const char*>(base + offset);
  const void* nul = std::memchr(text, 0, width);
  return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : width};
}

}  // namespace hostbytes

// The host's sale record (at least 1296 bytes; nothing beyond is read).
class HostOrderRecord {
 public:
  explicit HostOrderRecord(const void* bytes) : bytes_(static_cast<const std::uint8_t*>(bytes)) {}
  const std::uint8_t* bytes() const { return bytes_; }

 private:
  const std::uint8_t* bytes_;
};

// The host's refund record (24 bytes are read).
class HostRefundRecord {
 public:
  explicit HostRefundRecord(const void* bytes) : bytes_(static_cast<const std::uint8_t*>(bytes)) {}
  const std::uint8_t* bytes() const { return bytes_; }

 private:
  const std::uint8_t* bytes_;
};

}  // namespace qel
