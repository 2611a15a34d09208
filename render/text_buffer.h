// The bytes of a request being written: a buffer that grows like a string
// but neither fills its room with zeros first nor calls out of line for an
// append, since a large order is written in hundreds of thousands of small
// pieces.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace qel {

class TextBuffer {
 public:
  TextBuffer() = default;

  // Makes room for `bytes` more without growing again.
  void reserve(std::size_t bytes) {
    if (bytes > capacity_ - size_) grow(bytes);
  }

  void append(const char* data, std::size_t bytes) {
    // Nothing to copy may still meet a buffer that has no room yet.
    if (bytes == 0) return;
    reserve(bytes);
    std::memcpy(data_.get() + size_, data, bytes);
    size_ += bytes;
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  void push_back(char c) {
    reserve(1);
    data_[size_++] = c;
  }

  // Room for up to `bytes` at the end, to be written in place and then
  // taken into the text with commit(end of what was written).
  char* room(std::size_t bytes) {
    reserve(bytes);
    return data_.get() + size_;
  }
  void commit(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

  std::size_t size() const { return size_; }
  char* data() { return data_.get(); }
  // Drops everything from `size` on.
  void truncate(std::size_t size) { size_ = size; }
  std::string_view view() const { return std::string_view(data_.get(), size_); }

  // The text followed by a terminating NUL, which is not part of it.
  const char* c_str() {
    reserve(1);
    data_[size_] = '\0';
    return data_.get();
  }

 private:
  void grow(std::size_t bytes) {
    const std::size_t needed = size_ + bytes;
    const std::size_t capacity = needed > 2 * capacity_ ? needed : 2 * capacity_;
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace qel
