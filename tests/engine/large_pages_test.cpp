#include "engine/large_pages.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "engine/jpeg_image.h"
#include "tests/engine/test_support.h"

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

// The library's whole-image buffer of a progressive picture comes from here and goes back.
TEST(LargePages, LibraryTakesItsLargeStoresHere) {
  const std::size_t made = LargeStoresMade(), live = LargeStoresLive();
  {
    JpegImage image;
    image.LoadFile(LargePhoto("-progressive"));
    EXPECT_GT(image.DecodedRaster().Width(), 0);
  }
  EXPECT_GT(LargeStoresMade(), made);
  EXPECT_EQ(LargeStoresLive(), live);
}
