#pragma once
// The library's one-pass grey quantizer with Floyd-Steinberg dithering, rebuilt so that it
// runs on rows the library hands out in full: same levels, same error arithmetic, same
// serpentine order, so the library's own output at less cost per pixel. Every value comes out
// as its level rather than its colour index.
#include <array>
#include <cstdint>

struct GreyDither {
  // Any sum the rule can form, -256 .. 639 (the library's range-limit table), is an index
  // here after adding kOffset; the tables clamp it to 0..255 as that table does, then give
  // the level chosen, the error left (value - level) and seven times that error.
  static constexpr int kOffset = 256;
  static constexpr int kSums = 896;
  std::int16_t* errors = nullptr;  // width + 2 entries, zeroed, as the library keeps them
  bool odd_row = false;
  // Pixels taken at a time along a row: 32 or 16 (32 wants 256-bit vectors) when no value
  // lands more than one step from its level (129 colours and more, and a few below), else
  // 1. MakeGreyLevels sets the most the levels and the processor allow; less is the same.
  int step = 1;
  // For steps of more than one pixel, by value v: the errors left by v - 1, v and v + 1 (clamped to
  // 0..255), each plus one, in bits 0-1, 2-3 and 4-5.
  std::array<std::uint8_t, 256> nearby{};
  std::array<std::uint8_t, kSums> level{};
  std::array<std::int16_t, kSums> error{};
  // Seven times the error by the sum still in sixteenths (index 16 x sum + the fraction),
  // so that the chain from pixel to pixel is one addition and one table read.
  std::array<std::int16_t, 16 * kSums> error7{};
};

// The levels for `colours` (2..256): 0 and 255 and the rest evenly spaced; each value takes
// the level whose half-way bounds hold it.
void MakeGreyLevels(int colours, GreyDither& d);

// Dithers one row of `width` grey values in place (values in, levels out). Rows must come in
// order from the top; d.errors must hold width + 2 zeroed entries before the first row.
void DitherRow(GreyDither& d, std::uint8_t* row, int width);
