#include "engine/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <limits>
#include <string>

#include "engine/errors.h"

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
std::uint64_t ceiling = 0;
std::atomic<std::uint64_t> claimed{0};

std::uint64_t PhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return kUnlimited;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

std::uint64_t ReadLimit(const std::string& path) {
  std::ifstream file(path);
  std::uint64_t bytes = 0;
  if (!(file >> bytes)) return kUnlimited;  // "max", or no such file
  return bytes;
}

// The memory limit of the process's cgroup (v2 memory.max, or v1 memory.limit_in_bytes).
std::uint64_t CgroupLimit() {
  std::ifstream self("/proc/self/cgroup");
  std::string line;
  std::uint64_t limit = kUnlimited;
  while (std::getline(self, line)) {
    if (line.rfind("0::", 0) == 0) {
      limit = std::min(limit, ReadLimit("/sys/fs/cgroup" + line.substr(3) + "/memory.max"));
    } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
      const std::string group = "/sys/fs/cgroup/memory" + line.substr(at + 8);
      limit = std::min({limit, ReadLimit(group + "/memory.limit_in_bytes"),
                        ReadLimit("/sys/fs/cgroup/memory/memory.limit_in_bytes")});
    }
  }
  return limit;
}

// The process's mapped address space, from /proc/self/statm (in pages).
std::uint64_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  if (!(statm >> pages)) return 0;
  return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// What a resource limit still allows beside the mappings the process already has.
std::uint64_t LimitLeft(int resource) {
  struct rlimit limit {};
  if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
  const std::uint64_t mapped = MappedBytes();
  return limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
}

}  // namespace

std::uint64_t MemoryBudget() {
  std::uint64_t total = std::min({PhysicalMemory(), CgroupLimit(), LimitLeft(RLIMIT_AS),
                                  LimitLeft(RLIMIT_DATA)});
  if (total != kUnlimited) total = total / 3 * 2;
  if (ceiling != 0) total = std::min(total, ceiling);
  const std::uint64_t held = claimed.load();
  return total > held ? total - held : 0;
}

MemoryClaim::MemoryClaim(std::uint64_t bytes) : bytes_(bytes) {
  claimed += bytes_;
}

MemoryClaim& MemoryClaim::operator=(const MemoryClaim& other) {
  if (this != &other) {
    claimed += other.bytes_;
    claimed -= bytes_;
    bytes_ = other.bytes_;
  }
  return *this;
}

MemoryClaim::~MemoryClaim() {
  claimed -= bytes_;
}

void CheckMemoryFits(std::uint64_t bytes) {
  constexpr std::uint64_t kAlwaysTried = 1 << 20;  // not worth reading /proc for
  if (bytes > kAlwaysTried && bytes > MemoryBudget()) throw OutOfMemoryError();
}

void SetMemoryCeiling(std::uint64_t bytes) {
  ceiling = bytes;
}
