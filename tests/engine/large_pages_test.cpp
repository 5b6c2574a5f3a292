#include "engine/large_pages.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>


// Big stores start on a huge-page boundary and hold what is written; small ones are plain.
TEST(LargePages, StoresHoldTheirBytes) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{3} << 20,
                                 (std::size_t{5} << 20) + 123}) {
    SCOPED_TRACE(size);
    ByteStore store(size);
    for (std::size_t i = 0; i < size; ++i) store[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t i = 0; i < size; i += 4093)
      ASSERT_EQ(store[i], static_cast<std::uint8_t>(i * 7));
    if (size >= (std::size_t{2} << 20)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(store.data()) % (std::uintptr_t{2} << 20), 0U);
    }
  }
}
