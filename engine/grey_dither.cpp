#include "engine/grey_dither.h"

#include <algorithm>

// The levels: 0 and 255 and the rest evenly spaced; each value takes the level whose
// half-way bounds hold it.
void MakeGreyLevels(int colours, GreyDither& d) {
  const int top = colours - 1;
  const auto value = [top](int j) { return (j * 255 + top / 2) / top; };
  const auto largest_input = [top](int j) { return ((2 * j + 1) * 255 + top) / (2 * top); };
  std::array<int, 256> level_of{};
  int index = 0;
  int bound = largest_input(0);
  for (int v = 0; v < 256; ++v) {
    while (v > bound) bound = largest_input(++index);
    level_of[v] = value(index);
  }
  for (int i = 0; i < GreyDither::kSums; ++i) {
    const int v = std::clamp(i - GreyDither::kOffset, 0, 255);
    d.level[i] = static_cast<std::uint8_t>(level_of[v]);
    d.error[i] = static_cast<std::int16_t>(v - level_of[v]);
    for (int fraction = 0; fraction < 16; ++fraction)
      d.error7[16 * i + fraction] = static_cast<std::int16_t>(7 * (v - level_of[v]));
  }
}

// Dithers one row in place: grey values in, grey levels out. The library forms
// ((share + below + 8) >> 4) + pixel, the error terms being sixteenths and the shift
// rounding toward minus infinity; adding 16 x (pixel + kOffset) before the shift gives the
// same sum as a table index, and the 7/16 share for the next pixel is read straight from
// the unshifted value.
void DitherRow(GreyDither& d, std::uint8_t* row, int width) {
  const int dir = d.odd_row ? -1 : 1;
  std::uint8_t* pixel = d.odd_row ? row + (width - 1) : row;
  std::int16_t* error = d.odd_row ? d.errors + (width + 1) : d.errors;
  const std::uint8_t* const level = d.level.data();
  const std::int16_t* const left = d.error.data();
  const std::int16_t* const left7 = d.error7.data();
  int share7 = 0, below = 0, below_previous = 0;
  for (int col = width; col > 0; --col) {
    const int sixteenths = share7 + (error[dir] + 8 + 16 * (*pixel + GreyDither::kOffset));
    const int sum = sixteenths >> 4;
    share7 = left7[sixteenths];
    const int e = left[sum];
    *pixel = level[sum];
    error[0] = static_cast<std::int16_t>(below_previous + 3 * e);  // 3/16 below and behind
    below_previous = below + 5 * e;                                // 5/16 below
    below = e;                                                     // 1/16 below and ahead
    pixel += dir;
    error += dir;
  }
  error[0] = static_cast<std::int16_t>(below_previous);
  d.odd_row = !d.odd_row;
}
