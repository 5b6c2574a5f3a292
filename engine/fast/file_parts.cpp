#include "engine/fast/file_parts.h"

#include "engine/fast/threads.h"
#include "engine/file_read.h"
#include "engine/large_pages.h"

namespace {

// Below this a helper saves less than waking it costs.
constexpr std::size_t kLeastBytesInParts = std::size_t{1} << 20;
// Where the store is made of huge pages (large_pages.h), the parts meet at a huge page's edge,
// so that the threads do not both wait for the one page the system clears.
constexpr std::size_t kPage = 4096;

// Where the second part starts: near the middle, at a huge page's edge where one lies near.
std::size_t SecondPart(std::size_t size) {
  const std::size_t half = size / 2;
  const std::size_t step = size >= 2 * kHugePageBytes ? kHugePageBytes : kPage;
  const std::size_t cut = (half + step / 2) / step * step;
  return cut > 0 && cut < size ? cut : half;
}

}  // namespace

bool ReadFileInParts(int fd, std::span<std::uint8_t> bytes, const EngineOptions& options) {
  const std::size_t size = bytes.size();
  if (size < kLeastBytesInParts || !HelpersPay(options))
    return ReadFileAt(fd, bytes.data(), size, 0);
  const std::size_t cut = SecondPart(size);
  ForkJoin helper;  // it writes only the second part (threads.h, rule 2)
  const bool forked = helper.Fork([fd, second = bytes.subspan(cut), cut] {
    return ReadFileAt(fd, second.data(), second.size(), cut);
  });
  if (!forked) return ReadFileAt(fd, bytes.data(), size, 0);
  const bool first_read = ReadFileAt(fd, bytes.data(), cut, 0);
  return helper.Join() && first_read;
}
