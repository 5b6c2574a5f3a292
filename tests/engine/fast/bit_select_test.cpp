// Both ways of counting and finding set bits against the plain loop, on words with few,
// many and no bits set, at every rank.
#include "engine/fast/bit_select.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::uint64_t NthSetBit(std::uint64_t x, int rank) {
  for (int bit = 0; bit < 64; ++bit) {
    if ((x >> bit & 1) && rank-- == 0) return std::uint64_t{1} << bit;
  }
  return 0;
}

}  // namespace

TEST(BitSelect, BothWaysFindTheSetBitOfEveryRankAndCountTheBits) {
  std::vector<std::uint64_t> words = {0, ~std::uint64_t{0}, 1, std::uint64_t{1} << 63,
                                      0x8000000000000001u, 0x00FF00000000FF00u};
  std::mt19937_64 random(20261210);
  for (int i = 0; i < 2000; ++i) {
    std::uint64_t x = random();
    for (int thin = i % 4; thin > 0; --thin) x &= random();  // sparser words too
    words.push_back(x);
  }
  const bool bits = HasBitInstructions();
  for (const std::uint64_t x : words) {
    SCOPED_TRACE(x);
    EXPECT_EQ(Ones<false>(x), __builtin_popcountll(x));
    if (bits) {
      EXPECT_EQ(Ones<true>(x), __builtin_popcountll(x));
    }
    for (int rank = 0; rank < 64; ++rank) {
      EXPECT_EQ(SelectBit<false>(x, rank), NthSetBit(x, rank)) << "rank " << rank;
      if (bits) {
        EXPECT_EQ(SelectBit<true>(x, rank), NthSetBit(x, rank)) << "rank " << rank;
      }
    }
  }
}
