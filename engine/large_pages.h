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

// The size of the huge pages asked for.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// The room to reserve for a store of `size` bytes that is written whole as soon as it is
// made (a file's bytes as the fast road reads them): from one huge page on, whole huge pages.
// The part of a store past its last huge page's edge comes in 4 KB pages, and on some
// machines each first touch of such a page costs as much as clearing a huge page a twentieth
// of its size (on the 2-core machine the engine is measured on, 2 MB in 4 KB pages took
// 5.3 ms to touch, in one huge page 0.2-0.3 ms). The rest of the last huge page is memory
// taken for nothing. Smaller stores are left to the C library, which hands out again what
// the last picture gave back: made a huge page of their own, the 1.4-1.8 MB dev photos were
// read no faster, and the grey one was drawn 1.3 ms slower, as the library's rows then came
// in pages of their own.
std::size_t WholeHugePages(std::size_t size);

// A store of `size` bytes with undefined contents, or nullptr when the system has none.
// Give it back with FreeLarge and the same size.
void* AllocateLarge(std::size_t size);
void FreeLarge(void* store, std::size_t size);

// `size` zeroed bytes, or nullptr: a large store is a new mapping of huge pages, as
// AllocateLarge makes them, which reads as zeros until written and goes back to the system
// whole when FreeZeroed (with the same size) gives it back.
void* AllocateZeroed(std::size_t size);
void FreeZeroed(void* store, std::size_t size);

// An array of `n` zeroed T over AllocateZeroed, for trivially copyable T.
template <typename T>
class ZeroedArray {
 public:
  ZeroedArray() = default;
  explicit ZeroedArray(std::size_t n) {
    if (n == 0) return;
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    data_ = static_cast<T*>(AllocateZeroed(n * sizeof(T)));
    if (data_ == nullptr) throw std::bad_alloc();
    size_ = n;
  }
  ZeroedArray(ZeroedArray&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  ZeroedArray& operator=(ZeroedArray&& other) noexcept {
    if (this != &other) {
      FreeZeroed(data_, size_ * sizeof(T));
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  ~ZeroedArray() { FreeZeroed(data_, size_ * sizeof(T)); }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  std::size_t size() const { return size_; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

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
