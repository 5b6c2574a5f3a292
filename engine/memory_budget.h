#pragma once
// How much memory one picture may take before the engine asks for it. A header can promise
// far more pixels than the machine holds; asking anyway would leave the process to the
// kernel's out-of-memory killer instead of raising "Out of memory".
#include <cstdint>

// Bytes one new store may take now: two thirds of the least of physical memory, the
// cgroup's memory limit and what RLIMIT_AS / RLIMIT_DATA leave beside what the process
// already maps (capped by a ceiling set below), less what live claims hold. The library's
// whole-image buffers get half of it, so they and the raster decoded from them fit together.
std::uint64_t MemoryBudget();

// Counts a big store against MemoryBudget() while it lives, so that two pictures held at
// once (a copy, a preview beside a thumbnail) cannot each take what only one could.
class MemoryClaim {
 public:
  MemoryClaim() = default;
  explicit MemoryClaim(std::uint64_t bytes);
  MemoryClaim(const MemoryClaim& other) : MemoryClaim(other.bytes_) {}
  MemoryClaim& operator=(const MemoryClaim& other);
  ~MemoryClaim();

 private:
  std::uint64_t bytes_ = 0;
};

// Raises OutOfMemoryError when bytes exceed MemoryBudget().
void CheckMemoryFits(std::uint64_t bytes);

// Caps MemoryBudget() at bytes (0 lifts the cap): for test and fuzz harnesses that must
// not take the machine's memory, and report huge pictures as refused quickly.
void SetMemoryCeiling(std::uint64_t bytes);
