#pragma once
// Big stores that are written once from end to end (a file's bytes, a raster, and with the
// fast road the library's whole-image coefficient buffer) cost a page fault and a cleared page every 4 KB the first
// time they are touched. Where the kernel hands out transparent huge pages on request, they
// are asked for here, so a 20 MB store faults ten times instead of five thousand. Smaller
// stores, and systems that do not give huge pages, take ordinary memory.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

// A store of `size` bytes with undefined contents, or nullptr when the system has none.
// Give it back with FreeLarge and the same size.
void* AllocateLarge(std::size_t size);
void FreeLarge(void* store, std::size_t size);

// Huge-page stores made since start, and those not given back yet.
std::size_t LargeStoresMade();
std::size_t LargeStoresLive();

// An allocator over AllocateLarge that leaves new bytes as they come (reads fill them).
template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}  // NOLINT: converting, as allocators do
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* store = AllocateLarge(n * sizeof(T));
    if (store == nullptr) throw std::bad_alloc();
    return static_cast<T*>(store);
  }
  void deallocate(T* store, std::size_t n) { FreeLarge(store, n * sizeof(T)); }
  // Growing without a value default-initialises: no zeroing of bytes. Everything else is
  // constructed as usual.
  template <typename U>
  void construct(U* at) {
    ::new (static_cast<void*>(at)) U;
  }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

// Bytes of a whole file or stream.
using ByteStore = std::vector<std::uint8_t, LargeAllocator<std::uint8_t>>;
