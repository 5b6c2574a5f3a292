#include "engine/fast/grey_dither.h"

#include <algorithm>
#include <cstdlib>

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARINE_VECTORS 1
#include <immintrin.h>
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
  d.step = 1;
#if TESSARINE_VECTORS
  if (widest <= 1) d.step = __builtin_cpu_supports("avx2") ? 32 : 16;
#endif
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

#if TESSARINE_VECTORS

// The vector operations the steps need, sixteen bytes at a time (every x86-64 processor
// has them)...
struct Lanes16 {
  using V = __m128i;
  static constexpr int kLanes = 16;
  static V Zero() { return _mm_setzero_si128(); }
  static V Bytes(char b) { return _mm_set1_epi8(b); }
  static V Load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
  static void Store(void* p, V v) { _mm_storeu_si128(static_cast<V*>(p), v); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V Add(V a, V b) { return _mm_add_epi8(a, b); }
  static V Sub(V a, V b) { return _mm_sub_epi8(a, b); }
  static V AddClamped(V a, V b) { return _mm_adds_epu8(a, b); }
  static V SubClamped(V a, V b) { return _mm_subs_epu8(a, b); }
  static V Greater(V a, V b) { return _mm_cmpgt_epi8(a, b); }
  static bool Same(V a, V b) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) == 0xFFFF; }
  template <int kBits>
  static V ShiftRight(V v) { return _mm_srli_epi16(v, kBits); }
  // Lanes moved up by kCount, the first ones taken from the last of `before`.
  template <int kCount>
  static V After(V v, V before) {
    return _mm_or_si128(_mm_slli_si128(v, kCount), _mm_srli_si128(before, 16 - kCount));
  }
  static V ReverseWords(V v) {
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
  }
  static V ReverseBytes(V v) {
    return ReverseWords(_mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
  }
  // 16-bit words to bytes with saturation, and bytes to words with their sign.
  static V Narrow(V low, V high) { return _mm_packs_epi16(low, high); }
  static V WidenLow(V v) { return _mm_unpacklo_epi8(v, _mm_cmpgt_epi8(Zero(), v)); }
  static V WidenHigh(V v) { return _mm_unpackhi_epi8(v, _mm_cmpgt_epi8(Zero(), v)); }
  static int LastTwo(V v) { return _mm_extract_epi16(v, 7); }
};

#define TESSARINE_AVX2 __attribute__((target("avx2")))

// ...and thirty-two at a time where the processor has 256-bit integer vectors. These travel
// wrapped in a struct: the steps' template is compiled for any processor, and may hand such
// vectors to these functions only as aggregates, until all of it is inlined into
// DitherSteps32, which alone runs with them.
struct Lanes32 {
  struct V {
    __m256i v;
  };
  static constexpr int kLanes = 32;
  TESSARINE_AVX2 static V Zero() { return {_mm256_setzero_si256()}; }
  TESSARINE_AVX2 static V Bytes(char b) { return {_mm256_set1_epi8(b)}; }
  TESSARINE_AVX2 static V Load(const void* p) {
    return {_mm256_loadu_si256(static_cast<const __m256i*>(p))};
  }
  TESSARINE_AVX2 static void Store(void* p, V a) {
    _mm256_storeu_si256(static_cast<__m256i*>(p), a.v);
  }
  TESSARINE_AVX2 static V And(V a, V b) { return {_mm256_and_si256(a.v, b.v)}; }
  TESSARINE_AVX2 static V AndNot(V a, V b) { return {_mm256_andnot_si256(a.v, b.v)}; }
  TESSARINE_AVX2 static V Or(V a, V b) { return {_mm256_or_si256(a.v, b.v)}; }
  TESSARINE_AVX2 static V Xor(V a, V b) { return {_mm256_xor_si256(a.v, b.v)}; }
  TESSARINE_AVX2 static V Add(V a, V b) { return {_mm256_add_epi8(a.v, b.v)}; }
  TESSARINE_AVX2 static V Sub(V a, V b) { return {_mm256_sub_epi8(a.v, b.v)}; }
  TESSARINE_AVX2 static V AddClamped(V a, V b) { return {_mm256_adds_epu8(a.v, b.v)}; }
  TESSARINE_AVX2 static V SubClamped(V a, V b) { return {_mm256_subs_epu8(a.v, b.v)}; }
  TESSARINE_AVX2 static V Greater(V a, V b) { return {_mm256_cmpgt_epi8(a.v, b.v)}; }
  TESSARINE_AVX2 static bool Same(V a, V b) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(a.v, b.v)) == -1;
  }
  template <int kBits>
  TESSARINE_AVX2 static V ShiftRight(V a) { return {_mm256_srli_epi16(a.v, kBits)}; }
  template <int kCount>
  TESSARINE_AVX2 static V After(V a, V before) {
    // Each 128-bit half is shifted on its own, fed from the half below it.
    const __m256i below = _mm256_permute2x128_si256(a.v, before.v, 0x03);
    return {_mm256_alignr_epi8(a.v, below, 16 - kCount)};
  }
  TESSARINE_AVX2 static V ReverseWords(V a) {
    const __m256i order = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,
                                           14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    return {_mm256_permute4x64_epi64(_mm256_shuffle_epi8(a.v, order), 0x4E)};
  }
  TESSARINE_AVX2 static V ReverseBytes(V a) {
    const __m256i order = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0,
                                           15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return {_mm256_permute4x64_epi64(_mm256_shuffle_epi8(a.v, order), 0x4E)};
  }
  TESSARINE_AVX2 static V Narrow(V low, V high) {
    return {_mm256_permute4x64_epi64(_mm256_packs_epi16(low.v, high.v), 0xD8)};
  }
  TESSARINE_AVX2 static V WidenLow(V a) {
    return {_mm256_cvtepi8_epi16(_mm256_castsi256_si128(a.v))};
  }
  TESSARINE_AVX2 static V WidenHigh(V a) {
    return {_mm256_cvtepi8_epi16(_mm256_extracti128_si256(a.v, 1))};
  }
  TESSARINE_AVX2 static int LastTwo(V a) { return _mm256_extract_epi16(a.v, 15); }
};

// The errors near each of `count` values (a multiple of 4) from `from` on in the row's
// order. Kept apart so that it stays the plain loop it is: where 256-bit vectors are allowed
// the compiler would rather emulate a vector gather, which is slower.
template <bool kBackward>
[[gnu::noinline]] void GatherNearby(const GreyDither& d, const std::uint8_t* from, int count,
                                   std::uint8_t* to) {
  constexpr int kDir = kBackward ? -1 : 1;
  const std::uint8_t* const table = d.nearby.data();
  for (int i = 0; i < count; i += 4, from += 4 * kDir) {
    to[i] = table[from[0]];
    to[i + 1] = table[from[kDir]];
    to[i + 2] = table[from[2 * kDir]];
    to[i + 3] = table[from[3 * kDir]];
  }
}

// A step of L pixels at a time, for levels no value misses by more than one. Then every
// error left is -1, 0 or 1, what comes from the row above is -9..9, and the correction
// ((7 x error left + from above + 8) >> 4) is -1, 0 or 1: each pixel's error is one of
// three known in advance, picked by the error of the pixel before. The picks are first made
// as if that error were 0 and then redone from the neighbour's pick until nothing changes;
// the first k lanes are right after k rounds, and a pick that no longer changes is the
// only one consistent with the lane before, so the result is exact. Returns the number of
// pixels done (whole steps from the start of the row), with `carry` after the last.
template <class L, bool kBackward>
inline int DitherSteps(const GreyDither& d, std::uint8_t* row, std::int16_t* errors, int width,
                       Carry& carry) {
  using V = typename L::V;
  constexpr int kLanes = L::kLanes;
  // Each step's nearby errors, read one step ahead into the other half.
  alignas(32) std::uint8_t nearby[2][kLanes];
  const V zero = L::Zero();
  const V one = L::Bytes(1);
  const V two_bits = L::Bytes(3);
  V last = zero;  // the errors of the previous step, its last pixel in the last lane
  const int whole = width / kLanes * kLanes;
  const auto gather = [&](int k) {
    GatherNearby<kBackward>(d, row + (kBackward ? width - 1 - k : k), kLanes,
                            nearby[k / kLanes % 2]);
  };
  if (whole > 0) gather(0);
  for (int k = 0; k < whole; k += kLanes) {  // k: pixels done, in the row's order
    if (k + kLanes < whole) gather(k + kLanes);
    // Lane j holds pixel k + j in the row's order, and what the row above left for it.
    std::uint8_t* const pixels = row + (kBackward ? width - kLanes - k : k);
    constexpr int kHalf = kLanes / 2;
    V value = L::Load(pixels);
    V above_low, above_high;
    if constexpr (kBackward) {
      const std::int16_t* const at = errors + (width - k - (kLanes - 1));
      above_low = L::ReverseWords(L::Load(at + kHalf));
      above_high = L::ReverseWords(L::Load(at));
      value = L::ReverseBytes(value);
    } else {
      above_low = L::Load(errors + k + 1);
      above_high = L::Load(errors + k + 1 + kHalf);
    }
    const V above = L::Narrow(above_low, above_high);
    const V codes = L::Load(nearby[k / kLanes % 2]);
    const V if_down = L::Sub(L::And(codes, two_bits), one);
    const V if_same = L::Sub(L::And(L::template ShiftRight<2>(codes), two_bits), one);
    const V if_up = L::Sub(L::And(L::template ShiftRight<4>(codes), two_bits), one);
    // Where the correction goes down or up, by the error of the pixel before.
    const V down_after_minus = L::Greater(L::Bytes(-1), above);
    const V down_after_zero = L::Greater(L::Bytes(-8), above);
    const V up_after_zero = L::Greater(above, L::Bytes(7));
    const V up_after_plus = L::Greater(above, zero);
    const V to_down = L::Xor(if_down, if_same);
    const V to_up = L::Xor(if_up, if_same);
    const V after_zero = L::Xor(
        if_same, L::Xor(L::And(to_down, down_after_zero), L::And(to_up, up_after_zero)));
    const V minus_flip = L::Xor(L::Xor(if_same, L::And(to_down, down_after_minus)), after_zero);
    const V plus_flip = L::Xor(L::Xor(if_same, L::And(to_up, up_after_plus)), after_zero);
    // Every lane's pick from the error left by the pixel before it.
    const auto pick = [&](const V& before) {
      return L::Xor(after_zero, L::Xor(L::And(minus_flip, L::Greater(zero, before)),
                                       L::And(plus_flip, L::Greater(before, zero))));
    };
    // Two rounds before the first look: by then nearly every step has settled, so the
    // look seldom sends the loop round again, and when it does it costs a misprediction.
    V error = pick(L::template After<1>(after_zero, last));
    error = pick(L::template After<1>(error, last));
    V before = L::template After<1>(error, last);
    for (V next = pick(before); !L::Same(next, error); next = pick(before)) {
      error = next;
      before = L::template After<1>(error, last);
    }
    const V minus = L::Greater(zero, before);
    const V plus = L::Greater(before, zero);
    // The level: the corrected value clamped to 0..255, less the error it leaves.
    const V down = L::Or(L::And(down_after_minus, minus), L::AndNot(plus, down_after_zero));
    const V up = L::Or(L::And(up_after_plus, plus), L::AndNot(minus, up_after_zero));
    value = L::SubClamped(L::AddClamped(value, L::And(up, one)), L::And(down, one));
    value = L::Sub(value, error);
    // For the row below: 1/16 of the error two back, 5/16 of the one before, 3/16 of this.
    const V twice_before = L::Add(before, before);
    V below = L::Add(L::Add(twice_before, twice_before), before);
    below = L::Add(below, L::Add(L::Add(error, error), error));
    below = L::Add(below, L::template After<2>(error, last));
    if constexpr (kBackward) {
      L::Store(pixels, L::ReverseBytes(value));
      L::Store(errors + (width - k - kHalf + 2), L::ReverseWords(L::WidenLow(below)));
      L::Store(errors + (width - k - kLanes + 2), L::ReverseWords(L::WidenHigh(below)));
    } else {
      L::Store(pixels, value);
      L::Store(errors + k, L::WidenLow(below));
      L::Store(errors + k + kHalf, L::WidenHigh(below));
    }
    last = error;
  }
  const int ends = L::LastTwo(last);
  const int previous = static_cast<std::int8_t>(ends >> 8);
  const int two_before = static_cast<std::int8_t>(ends & 0xFF);
  carry = {7 * previous, previous, two_before + 5 * previous};
  return whole;
}

int DitherSteps16(const GreyDither& d, bool backward, std::uint8_t* row, int width,
                  Carry& carry) {
  return backward ? DitherSteps<Lanes16, true>(d, row, d.errors, width, carry)
                  : DitherSteps<Lanes16, false>(d, row, d.errors, width, carry);
}

TESSARINE_AVX2 __attribute__((flatten)) int DitherSteps32(const GreyDither& d, bool backward,
                                                          std::uint8_t* row, int width,
                                                          Carry& carry) {
  return backward ? DitherSteps<Lanes32, true>(d, row, d.errors, width, carry)
                  : DitherSteps<Lanes32, false>(d, row, d.errors, width, carry);
}

#endif

}  // namespace

// Dithers one row in place: grey values in, grey levels out.
void DitherRow(GreyDither& d, std::uint8_t* row, int width) {
  const bool backward = d.odd_row;
  d.odd_row = !d.odd_row;
  Carry carry;
  int done = 0;
#if TESSARINE_VECTORS
  if (d.step == 32) done = DitherSteps32(d, backward, row, width, carry);
  if (d.step == 16) done = DitherSteps16(d, backward, row, width, carry);
#endif
  const int dir = backward ? -1 : 1;
  std::uint8_t* const pixel = backward ? row + (width - 1 - done) : row + done;
  std::int16_t* const error = backward ? d.errors + (width + 1 - done) : d.errors + done;
  const int rest = width - done;
  DitherPixels(d, pixel, error, dir, rest, carry);
  error[dir * rest] = static_cast<std::int16_t>(carry.below_previous);
}
