#pragma once
// How much memory one picture may take before the engine asks for it. A header can promise
// far more pixels than the machine holds; asking anyway would leave the process to the
// kernel's out-of-memory killer instead of raising "Out of memory".
#include <cstdint>

// Bytes one new store may take now: the least of physical memory, the cgroup's memory
// limit and what RLIMIT_AS / RLIMIT_DATA leave beside what the process already maps,
// less a quarter kept for everything else. A ceiling set below overrides it.
std::uint64_t MemoryBudget();

// Raises OutOfMemoryError when bytes exceed MemoryBudget().
void CheckMemoryFits(std::uint64_t bytes);

// Caps MemoryBudget() at bytes (0 lifts the cap): for test and fuzz harnesses that must
// not take the machine's memory, and report huge pictures as refused quickly.
void SetMemoryCeiling(std::uint64_t bytes);
