// Zero-filled memory at an address below 4 GiB, where the host's 32-bit
// pointer fields can name it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace qel::boxoffice {

// On 64-bit Linux the kernel places MAP_32BIT mappings in the low 2 GiB. A
// 32-bit process has no other memory, so there the heap serves.
class LowMemory {
 public:
  explicit LowMemory(std::size_t size) : size_(size == 0 ? 1 : size) {
#if defined(MAP_32BIT)
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<std::uint8_t*>(p);
#else
    static_assert(sizeof(void*) == 4, "host records need memory below 4 GiB");
    data_ = new std::uint8_t[size_]();
#endif
    if (reinterpret_cast<std::uintptr_t>(data_) + size_ > 0xFFFFFFFFu) {
      release();
      throw std::runtime_error("memory above 4 GiB");
    }
  }
  ~LowMemory() { release(); }
  LowMemory(const LowMemory&) = delete;
  LowMemory& operator=(const LowMemory&) = delete;

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

  // The 32-bit address that a host record stores for `p`.
  static std::uint32_t addressOf(const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
  }

 private:
  void release() {
    if (data_ == nullptr) return;
#if defined(MAP_32BIT)
    munmap(data_, size_);
#else
    delete[] data_;
#endif
    data_ = nullptr;
  }

  std::size_t size_;
  std::uint8_t* data_ = nullptr;
};

}  // namespace qel::boxoffice
