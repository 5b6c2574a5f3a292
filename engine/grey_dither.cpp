#include "engine/grey_dither.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  int widest = 0;
  for (int v = 0; v < 256; ++v) widest = std::max(widest, std::abs(v - level_of[v]));
  d.near_levels = widest <= 1;
  const auto code = [&level_of](int v) {
    const int clamped = std::clamp(v, 0, 255);
    return clamped - level_of[clamped] + 1;
  };
  for (int v = 0; v < 256; ++v)
    d.nearby[v] = static_cast<std::uint8_t>(code(v - 1) | code(v) << 2 | code(v + 1) << 4);
}

namespace {

// What one pixel hands to the next along the row.
struct Carry {
  int share7 = 0;          // 7/16 of the error just left, in sixteenths
  int below = 0;           // that error, which the pixel below and ahead gets 1/16 of
  int below_previous = 0;  // the sixteenths gathered so far for the pixel below
};

// `count` pixels from `pixel` on in steps of `dir`; `error` is the entry of the column
// before the first. The library forms ((share + below + 8) >> 4) + pixel, the error terms
// being sixteenths and the shift rounding toward minus infinity; adding 16 x (pixel +
// kOffset) before the shift gives the same sum as a table index, and the 7/16 share for the
// next pixel is read straight from the unshifted value.
void DitherPixels(const GreyDither& d, std::uint8_t* pixel, std::int16_t* error, int dir,
                  int count, Carry& carry) {
  const std::uint8_t* const level = d.level.data();
  const std::int16_t* const left = d.error.data();
  const std::int16_t* const left7 = d.error7.data();
  int share7 = carry.share7, below = carry.below, below_previous = carry.below_previous;
  for (; count > 0; --count) {
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
  carry = {share7, below, below_previous};
}

#if defined(__SSE2__)

__m128i ReverseWords(__m128i v) {
  v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
  v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
  return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
}

__m128i ReverseBytes(__m128i v) {
  return ReverseWords(_mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
}

// Sixteen pixels a step, for levels no value misses by more than one. Then every error
// left is -1, 0 or 1, what comes from the row above is -9..9, and the correction
// ((7 x error left + from above + 8) >> 4) is -1, 0 or 1: each pixel's error is one of
// three known in advance, picked by the error of the pixel before. The picks are first made
// as if that error were 0 and then redone from the neighbour's pick until nothing changes;
// the first k lanes are right after k rounds, and a pick that no longer changes is the
// only one consistent with the lane before, so the result is exact. Returns the number of
// pixels done (whole steps from the start of the row), with `carry` after the last.
template <bool kBackward>
int DitherSixteens(const GreyDither& d, std::uint8_t* row, std::int16_t* errors, int width,
                   Carry& carry) {
  constexpr int kBlock = 512;
  alignas(16) std::uint8_t nearby[kBlock];
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi8(1);
  const __m128i two_bits = _mm_set1_epi8(3);
  __m128i last = zero;  // the errors of the previous step, its last pixel in lane 15
  const int whole = width & ~15;
  for (int start = 0; start < whole; start += kBlock) {
    const int n = std::min(kBlock, whole - start);
    const std::uint8_t* from = row + (kBackward ? width - 1 - start : start);
    for (int i = 0; i < n; ++i, from += kBackward ? -1 : 1) nearby[i] = d.nearby[*from];
    for (int i = 0; i < n; i += 16) {
      const int k = start + i;  // pixels done before this step, in the row's order
      // Lane j holds pixel k + j in the row's order, and what the row above left for it.
      std::uint8_t* const pixels = row + (kBackward ? width - 16 - k : k);
      __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
      __m128i above_low, above_high;
      if constexpr (kBackward) {
        const std::int16_t* const from = errors + (width - k - 15);
        above_low = ReverseWords(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8)));
        above_high = ReverseWords(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
        value = ReverseBytes(value);
      } else {
        above_low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(errors + k + 1));
        above_high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(errors + k + 9));
      }
      const __m128i above = _mm_packs_epi16(above_low, above_high);
      const __m128i codes = _mm_load_si128(reinterpret_cast<const __m128i*>(nearby + i));
      const __m128i if_down = _mm_sub_epi8(_mm_and_si128(codes, two_bits), one);
      const __m128i if_same =
          _mm_sub_epi8(_mm_and_si128(_mm_srli_epi16(codes, 2), two_bits), one);
      const __m128i if_up = _mm_sub_epi8(_mm_and_si128(_mm_srli_epi16(codes, 4), two_bits), one);
      // Where the correction goes down or up, by the error of the pixel before.
      const __m128i down_after_minus = _mm_cmplt_epi8(above, _mm_set1_epi8(-1));
      const __m128i down_after_zero = _mm_cmplt_epi8(above, _mm_set1_epi8(-8));
      const __m128i up_after_zero = _mm_cmpgt_epi8(above, _mm_set1_epi8(7));
      const __m128i up_after_plus = _mm_cmpgt_epi8(above, zero);
      const __m128i to_down = _mm_xor_si128(if_down, if_same);
      const __m128i to_up = _mm_xor_si128(if_up, if_same);
      const __m128i after_zero = _mm_xor_si128(
          if_same, _mm_xor_si128(_mm_and_si128(to_down, down_after_zero),
                                 _mm_and_si128(to_up, up_after_zero)));
      const __m128i minus_flip =
          _mm_xor_si128(_mm_xor_si128(if_same, _mm_and_si128(to_down, down_after_minus)),
                        after_zero);
      const __m128i plus_flip =
          _mm_xor_si128(_mm_xor_si128(if_same, _mm_and_si128(to_up, up_after_plus)),
                        after_zero);
      // Two rounds as if the last pixel before had left no error, then one from its real
      // error; when that round changes nothing the picks do not depend on it either, so the
      // next step need not wait for it. Rarely more rounds are needed.
      __m128i error = after_zero;
      for (int round = 0; round < 2; ++round) {
        const __m128i guess = _mm_slli_si128(error, 1);
        error = _mm_xor_si128(
            after_zero,
            _mm_xor_si128(_mm_and_si128(minus_flip, _mm_cmpgt_epi8(zero, guess)),
                          _mm_and_si128(plus_flip, _mm_cmpgt_epi8(guess, zero))));
      }
      const __m128i carry_in = _mm_srli_si128(last, 15);
      __m128i before, minus, plus;
      for (;;) {
        before = _mm_or_si128(_mm_slli_si128(error, 1), carry_in);
        minus = _mm_cmpgt_epi8(zero, before);
        plus = _mm_cmpgt_epi8(before, zero);
        const __m128i next =
            _mm_xor_si128(after_zero, _mm_xor_si128(_mm_and_si128(minus_flip, minus),
                                                    _mm_and_si128(plus_flip, plus)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(next, error)) == 0xFFFF) [[likely]]
          break;
        error = next;
      }
      // The level: the corrected value clamped to 0..255, less the error it leaves.
      const __m128i down = _mm_or_si128(_mm_and_si128(down_after_minus, minus),
                                        _mm_andnot_si128(plus, down_after_zero));
      const __m128i up = _mm_or_si128(_mm_and_si128(up_after_plus, plus),
                                      _mm_andnot_si128(minus, up_after_zero));
      value = _mm_subs_epu8(_mm_adds_epu8(value, _mm_and_si128(up, one)),
                            _mm_and_si128(down, one));
      value = _mm_sub_epi8(value, error);
      // For the row below: 1/16 of the error two back, 5/16 of the one before, 3/16 of this.
      const __m128i two_back = _mm_or_si128(_mm_slli_si128(error, 2), _mm_srli_si128(last, 14));
      const __m128i twice_before = _mm_add_epi8(before, before);
      __m128i below = _mm_add_epi8(_mm_add_epi8(twice_before, twice_before), before);
      below = _mm_add_epi8(below, _mm_add_epi8(_mm_add_epi8(error, error), error));
      below = _mm_add_epi8(below, two_back);
      const __m128i sign = _mm_cmpgt_epi8(zero, below);
      const __m128i below_low = _mm_unpacklo_epi8(below, sign);
      const __m128i below_high = _mm_unpackhi_epi8(below, sign);
      if constexpr (kBackward) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), ReverseBytes(value));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(errors + (width - k - 6)),
                         ReverseWords(below_low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(errors + (width - k - 14)),
                         ReverseWords(below_high));
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), value);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(errors + k), below_low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(errors + k + 8), below_high);
      }
      last = error;
    }
  }
  const int ends = _mm_extract_epi16(last, 7);
  const int previous = static_cast<std::int8_t>(ends >> 8);
  const int two_before = static_cast<std::int8_t>(ends & 0xFF);
  carry = {7 * previous, previous, two_before + 5 * previous};
  return whole;
}

#endif

}  // namespace

// Dithers one row in place: grey values in, grey levels out.
void DitherRow(GreyDither& d, std::uint8_t* row, int width) {
  const bool backward = d.odd_row;
  d.odd_row = !d.odd_row;
  Carry carry;
  int done = 0;
#if defined(__SSE2__)
  if (d.near_levels) {
    done = backward ? DitherSixteens<true>(d, row, d.errors, width, carry)
                    : DitherSixteens<false>(d, row, d.errors, width, carry);
  }
#endif
  const int dir = backward ? -1 : 1;
  std::uint8_t* const pixel = backward ? row + (width - 1 - done) : row + done;
  std::int16_t* const error = backward ? d.errors + (width + 1 - done) : d.errors + done;
  const int rest = width - done;
  DitherPixels(d, pixel, error, dir, rest, carry);
  error[dir * rest] = static_cast<std::int16_t>(carry.below_previous);
}
