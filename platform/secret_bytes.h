// The bytes of a secret, such as a password in clear, overwritten with zeros
// before their memory is given back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qel::platform {

// Overwrites `size` bytes at `data` with zeros in a way that the compiler
// may not leave out because the memory is freed next.
inline void wipeBytes(void* data, std::size_t size) noexcept {
  volatile unsigned char* byte = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) byte[i] = 0;
}

// Wipes the whole of a string's buffer, its spare capacity included.
inline void wipeString(std::string& text) noexcept {
  text.resize(text.capacity());
  wipeBytes(text.data(), text.size());
  text.clear();
}

// Holds a secret in one allocation of exactly its size and a terminating NUL,
// so that no copy is left behind by a growing buffer, and wipes it when it is
// cleared, replaced or destroyed. Moving hands the allocation over.
class SecretBytes {
 public:
  SecretBytes() = default;
  SecretBytes(const void* data, std::size_t size) : bytes_(size + 1, '\0') {
    const auto* from = static_cast<const char*>(data);
    for (std::size_t i = 0; i < size; ++i) bytes_[i] = from[i];
  }
  ~SecretBytes() { clear(); }
  SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
      clear();
      bytes_ = std::move(other.bytes_);
    }
    return *this;
  }
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;

  // The secret, followed by a NUL (an empty text when there is none).
  const char* c_str() const noexcept { return bytes_.empty() ? "" : bytes_.data(); }
  std::size_t size() const noexcept { return bytes_.empty() ? 0 : bytes_.size() - 1; }
  bool empty() const noexcept { return size() == 0; }
  std::string_view view() const noexcept { return std::string_view(c_str(), size()); }

  void clear() noexcept {
    wipeBytes(bytes_.data(), bytes_.size());
    std::vector<char>().swap(bytes_);
  }

 private:
  std::vector<char> bytes_;
};

}  // namespace qel::platform
