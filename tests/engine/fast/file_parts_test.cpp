// A file read in two parts at once comes out as read in one, and a file shorter than asked
// fails in either part.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "engine/fast/file_parts.h"
#include "tests/engine/test_support.h"

namespace {

TEST(FileParts, TwoPartsReadWhatOneDoesAndAShortFileFails) {
  TempDir dir;
  std::vector<std::uint8_t> bytes((std::size_t{5} << 20) + 12345);  // parts meet at 2 MB
  std::uint32_t x = 1;
  for (std::uint8_t& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  WriteBytes(dir / "f", bytes);
  const int fd = ::open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (const bool threads : {true, false}) {
    EngineOptions options;
    options.Threads = threads;
    std::vector<std::uint8_t> read(bytes.size());
    EXPECT_TRUE(ReadFileInParts(fd, read, options)) << threads;
    EXPECT_TRUE(read == bytes) << threads;
    // Asked for more than there is: the second part ends early, or both do.
    for (const std::size_t more : {std::size_t{1}, bytes.size()}) {
      std::vector<std::uint8_t> longer(bytes.size() + more);
      EXPECT_FALSE(ReadFileInParts(fd, longer, options)) << threads << " " << more;
    }
  }
  ::close(fd);
}

}  // namespace
