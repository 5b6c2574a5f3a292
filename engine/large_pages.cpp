#include "engine/large_pages.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace {

constexpr std::size_t kPage = 4096;

std::atomic<std::size_t> stores_made{0};
std::atomic<std::size_t> stores_live{0};

std::size_t RoundUp(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

std::size_t WholeHugePages(std::size_t size) {
  if (size < kHugePageBytes || size > static_cast<std::size_t>(-1) - kHugePageBytes) return size;
  return RoundUp(size, kHugePageBytes);
}

void* AllocateLarge(std::size_t size) {
  if (size < kHugePageBytes) return std::malloc(size == 0 ? 1 : size);
  if (size > static_cast<std::size_t>(-1) - 2 * kHugePageBytes) return nullptr;
  // Mapped one huge page longer than asked, so that the store can start on a huge-page
  // boundary; the ends left over go back at once.
  const std::size_t length = RoundUp(size, kPage);
  void* const mapped = mmap(nullptr, length + kHugePageBytes, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto first = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t start = RoundUp(first, kHugePageBytes);
  if (start > first) munmap(mapped, start - first);
  const std::uintptr_t end = first + length + kHugePageBytes;
  if (end > start + length) munmap(reinterpret_cast<void*>(start + length), end - start - length);
  madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);  // a hint: may be refused
  ++stores_made;
  ++stores_live;
  return reinterpret_cast<void*>(start);
}

void FreeLarge(void* store, std::size_t size) {
  if (store == nullptr) return;
  if (size < kHugePageBytes) {
    std::free(store);
    return;
  }
  munmap(store, RoundUp(size, kPage));
  --stores_live;
}

void* AllocateZeroed(std::size_t size) {
  if (size >= kHugePageBytes) return AllocateLarge(size);  // a new mapping: zeros until written
  return std::calloc(size == 0 ? 1 : size, 1);
}

void FreeZeroed(void* store, std::size_t size) {
  if (size >= kHugePageBytes) FreeLarge(store, size);
  else std::free(store);
}

std::size_t LargeStoresMade() {
  return stores_made;
}

std::size_t LargeStoresLive() {
  return stores_live;
}
