// The counting operator new and delete behind HeapPeak. Each block carries
// its size in a header in front of it, so that delete knows what it frees.
// The benchmark is single-threaded while it measures; the counters are
// atomic all the same, so that other threads cannot corrupt them.
#include "bench/heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace qel::bench {
namespace {

std::atomic<std::size_t> inUse{0};
std::atomic<std::size_t> highWater{0};

// The header keeps the block aligned for any fundamental type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t now = inUse.fetch_add(size, std::memory_order_relaxed) + size;
  std::size_t seen = highWater.load(std::memory_order_relaxed);
  while (now > seen && !highWater.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  inUse.fetch_sub(*static_cast<std::size_t*>(block), std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

std::size_t heapInUse() { return inUse.load(std::memory_order_relaxed); }

HeapPeak::HeapPeak() : base_(heapInUse()) { highWater.store(base_, std::memory_order_relaxed); }

std::size_t HeapPeak::peak() const { return highWater.load(std::memory_order_relaxed) - base_; }

}  // namespace qel::bench

void* operator new(std::size_t size) { return qel::bench::allocate(size); }
void* operator new[](std::size_t size) { return qel::bench::allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return qel::bench::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return qel::bench::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* pointer) noexcept { qel::bench::release(pointer); }
void operator delete[](void* pointer) noexcept { qel::bench::release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { qel::bench::release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { qel::bench::release(pointer); }
