#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstring>

#include <jpeglib.h>

// Rows of the library's sample buffer written whole once (zeroed), so that the samples a
// draw leaves out are never unset and need not be written again: only pixels that are
// dropped read them. A fixed store, as it is filled inside the library's calls; a row it has
// no room for is zeroed every time.
class RowsZeroedOnce {
 public:
  // Zeroes those of the `count` rows at `rows` not zeroed before, `width` samples each.
  void Ensure(JSAMPARRAY rows, JDIMENSION count, JDIMENSION width) {
    const auto known = known_.begin() + static_cast<std::ptrdiff_t>(count_);
    for (JDIMENSION i = 0; i < count; ++i) {
      if (std::find(known_.begin(), known, rows[i]) != known) continue;
      std::memset(rows[i], 0, width);
      if (count_ < known_.size()) known_[count_++] = rows[i];
    }
  }
  void Forget() { count_ = 0; }

 private:
  std::array<JSAMPROW, 128> known_{};
  std::size_t count_ = 0;
};
