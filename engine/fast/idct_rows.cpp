#include "engine/fast/idct_rows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static_assert(FLT_EVAL_METHOD == 0, "every operation rounds to single precision, as SSE does");

namespace {

constexpr float k1_414 = 1.414213562373095048801689f;
constexpr float k1_847 = 1.847759065022573512256366f;
constexpr float k1_082 = 1.082392200292393968799446f;
constexpr float kM2_613 = -2.613125929752753055713286f;
// 1.5 * 2^26: in a sum with it, the last place is 8, so the low bits of the sum hold the
// value divided by 8 and rounded to the nearest (ties to even).
constexpr float kRounding = 100663296.0f;

#if defined(__SSE2__)

// Four columns side by side, one float each: the library's pass over the columns works on
// four at a time, each in its own lane, which is the same as one at a time. Its + - * are
// addps, subps and mulps (a float is taken as four of it).
using Quad = __m128;

// The eight outputs of a row pass: 0 1 2 4, and 7 6 5 3.
struct Halves {
  Quad plus, minus;
};

// One output of the butterfly both passes use, from its eight inputs (T: a float or a Quad).
// Each line is one of the library's operations, in its order; what output `kOut` does not
// need is left to the compiler to drop.
template <int kOut, typename T>
[[gnu::always_inline]] inline auto Butterfly(const T* in) {
  // The even part.
  const T tmp10 = in[0] + in[4];
  const T tmp11 = in[0] - in[4];
  const T tmp13 = in[2] + in[6];
  const T tmp12 = (in[2] - in[6]) * k1_414 - tmp13;
  const T tmp0 = tmp10 + tmp13;
  const T tmp3 = tmp10 - tmp13;
  const T tmp1 = tmp11 + tmp12;
  const T tmp2 = tmp11 - tmp12;
  // The odd part.
  const T z11 = in[1] + in[7];
  const T z13 = in[5] + in[3];
  const T z12 = in[1] - in[7];
  const T z10 = in[5] - in[3];
  const T tmp7 = z11 + z13;
  const T odd11 = (z11 - z13) * k1_414;
  const T z5 = (z10 + z12) * k1_847;
  const T odd12 = z10 * kM2_613 + z5;
  const T odd10 = z12 * k1_082 - z5;
  const T tmp6 = odd12 - tmp7;
  const T tmp5 = odd11 - tmp6;
  const T tmp4 = odd10 + tmp5;
  if constexpr (kOut == 0) return tmp0 + tmp7;
  if constexpr (kOut == 1) return tmp1 + tmp6;
  if constexpr (kOut == 2) return tmp2 + tmp5;
  if constexpr (kOut == 3) return tmp3 - tmp4;
  if constexpr (kOut == 4) return tmp3 + tmp4;
  if constexpr (kOut == 5) return tmp2 - tmp5;
  if constexpr (kOut == 6) return tmp1 - tmp6;
  if constexpr (kOut == 7) return tmp0 - tmp7;
  if constexpr (kOut == 8) {  // all eight: outputs 0 1 2 4, and 7 6 5 3
    const Quad a = _mm_setr_ps(tmp0, tmp1, tmp2, tmp3);
    const Quad b = _mm_setr_ps(tmp7, tmp6, tmp5, tmp4);
    return Halves{a + b, a - b};
  }
}

// Row `row` of the column pass, for four columns: their dequantised coefficients by row.
inline Quad ColumnsAt(int row, const Quad* in) {
  switch (row) {
    case 0: return Butterfly<0>(in);
    case 1: return Butterfly<1>(in);
    case 2: return Butterfly<2>(in);
    case 3: return Butterfly<3>(in);
    case 4: return Butterfly<4>(in);
    case 5: return Butterfly<5>(in);
    case 6: return Butterfly<6>(in);
    default: return Butterfly<7>(in);
  }
}

// The library's rounding of four results: each result plus kRounding, the low 16 bits of
// that sum as a signed number.
inline __m128i Rounded(Quad values) {
  const __m128i sum = _mm_castps_si128(_mm_add_ps(values, _mm_set1_ps(kRounding)));
  return _mm_srai_epi32(_mm_slli_epi32(sum, 16), 16);
}

// The row pass over one row of the column pass's results, and the samples it makes:
// saturated to a signed byte and moved up by 128, as the library packs them.
void RowPass(const float* in, JSAMPLE* out) {
  const auto [plus, minus] = Butterfly<8>(in);  // outputs 0 1 2 4, and 7 6 5 3
  const Quad two = _mm_shuffle_ps(plus, minus, _MM_SHUFFLE(3, 3, 2, 2));   // 2 2 3 3
  const Quad four = _mm_shuffle_ps(plus, minus, _MM_SHUFFLE(2, 2, 3, 3));  // 4 4 5 5
  const __m128i first = Rounded(_mm_shuffle_ps(plus, two, _MM_SHUFFLE(2, 0, 1, 0)));
  const __m128i second = Rounded(_mm_shuffle_ps(four, minus, _MM_SHUFFLE(0, 1, 2, 0)));
  const __m128i words = _mm_packs_epi32(first, second);
  const __m128i bytes =
      _mm_add_epi8(_mm_packs_epi16(words, words), _mm_set1_epi8(static_cast<char>(0x80)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

#endif

}  // namespace

#if defined(__SSE2__)

void IdctRows(const float* table, const JCOEF* coefficients, JSAMPARRAY output, JDIMENSION col,
              unsigned rows) {
  rows &= 0xFFu;
  if (rows == 0) return;
  // The coefficients dequantised, by row of the block, left and right four columns apart.
  Quad left[DCTSIZE], right[DCTSIZE];
  for (int k = 0; k < DCTSIZE; ++k) {
    const __m128i values =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + k * DCTSIZE));
    left[k] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(values, values), 16)),
                         _mm_loadu_ps(table + k * DCTSIZE));
    right[k] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(values, values), 16)),
                          _mm_loadu_ps(table + k * DCTSIZE + 4));
  }
  alignas(16) float line[DCTSIZE];
  for (; rows != 0; rows &= rows - 1) {
    const int row = std::countr_zero(rows);
    _mm_store_ps(line, ColumnsAt(row, left));
    _mm_store_ps(line + 4, ColumnsAt(row, right));
    RowPass(line, output[row] + col);
  }
}

#else

void IdctRows(const float*, const JCOEF*, JSAMPARRAY, JDIMENSION, unsigned) {}

#endif

bool IdctRowsMatch(j_decompress_ptr info, jpeg_component_info* comp, LibraryIdct library) {
#if !defined(__SSE2__)
  return false;
#endif
  if (library == nullptr || comp->dct_table == nullptr || comp->DCT_scaled_size != DCTSIZE)
    return false;
  const auto* table = static_cast<const float*>(comp->dct_table);
  alignas(16) JCOEF block[DCTSIZE2];
  std::array<std::array<JSAMPLE, DCTSIZE>, DCTSIZE> theirs{}, ours{};
  JSAMPROW their_rows[DCTSIZE], our_rows[DCTSIZE];
  for (int y = 0; y < DCTSIZE; ++y) {
    their_rows[y] = theirs[static_cast<std::size_t>(y)].data();
    our_rows[y] = ours[static_cast<std::size_t>(y)].data();
  }
  std::uint32_t seed = 0x2545F491u;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  // Blocks 0-3: zero, a DC alone, the extremes; then sparse ones of every size of value,
  // dense small ones, and ones whose values reach where the rounding saturates and wraps.
  constexpr int kBlocks = 48;
  for (int b = 0; b < kBlocks; ++b) {
    std::memset(block, 0, sizeof block);
    if (b == 1) {
      block[0] = -517;
    } else if (b == 2 || b == 3) {
      for (int i = 0; i < DCTSIZE2; ++i)
        block[i] = static_cast<JCOEF>((i + b) % 2 == 0 ? 32767 : -32768);
    } else if (b >= 4) {
      const int kind = b % 4;
      const int count = kind == 0 ? 64 : 1 + static_cast<int>(next() % 12);
      const int magnitude = kind == 0 ? 8 : kind == 1 ? 64 : kind == 2 ? 1024 : 32768;
      for (int n = 0; n < count; ++n) {
        const int place = kind == 0 ? n : static_cast<int>(next() % (n == 0 ? 10 : 64));
        const int value = static_cast<int>(next() % (2u * magnitude)) - magnitude;
        block[place] = static_cast<JCOEF>(std::clamp(value, -32768, 32767));
      }
    }
    for (auto& row : ours) row.fill(0);
    library(info, comp, block, their_rows, 0);
    IdctRows(table, block, our_rows, 0, 0xFFu);
    if (ours != theirs) return false;
    // One row alone, as a pick asks for it.
    const int alone = b % DCTSIZE;
    for (auto& row : ours) row.fill(0);
    IdctRows(table, block, our_rows, 0, 1u << alone);
    if (ours[static_cast<std::size_t>(alone)] != theirs[static_cast<std::size_t>(alone)])
      return false;
  }
  return true;
}
