// The row-only inverse DCT against the library's own float transform, taken from a decoder
// set up as the draw sets it up: every row alone and all eight at once, over many random
// blocks dequantised by the tables of several qualities.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <jpegint.h>  // struct jpeg_inverse_dct: the library's transform of each component

#include "engine/fast/idct_rows.h"
#include "tests/engine/test_support.h"

extern "C" void jpeg_idct_float(j_decompress_ptr, jpeg_component_info*, JCOEFPTR, JSAMPARRAY,
                                JDIMENSION);

namespace {

using Block = std::array<std::array<JSAMPLE, DCTSIZE>, DCTSIZE>;

// A decoder of an 8 x 8 grey picture of `quality`, started with `method`: its tables and
// transform are the ones a draw of such a picture uses.
class Decoder {
 public:
  Decoder(int quality, J_DCT_METHOD method) {
    const std::vector<std::uint8_t> grey(DCTSIZE2, 100);
    bytes_ = LibjpegEncode(DCTSIZE, DCTSIZE, 1, JCS_GRAYSCALE, JCS_GRAYSCALE, quality,
                           [&](int y) { return grey.data() + y * DCTSIZE; });
    info_.err = jpeg_std_error(&err_);
    jpeg_create_decompress(&info_);
    jpeg_mem_src(&info_, bytes_.data(), static_cast<unsigned long>(bytes_.size()));
    jpeg_read_header(&info_, TRUE);
    info_.dct_method = method;
    jpeg_start_decompress(&info_);
  }
  ~Decoder() { jpeg_destroy_decompress(&info_); }
  j_decompress_ptr info() { return &info_; }
  jpeg_component_info* comp() { return &info_.comp_info[0]; }
  LibraryIdct idct() const { return info_.idct->inverse_DCT[0]; }
  const float* table() const { return static_cast<const float*>(info_.comp_info[0].dct_table); }

 private:
  std::vector<std::uint8_t> bytes_;
  jpeg_decompress_struct info_{};
  jpeg_error_mgr err_{};
};

struct Rows {
  Block block{};
  std::array<JSAMPROW, DCTSIZE> rows{};
  Rows() {
    for (int y = 0; y < DCTSIZE; ++y) rows[static_cast<std::size_t>(y)] = block[y].data();
  }
};

TEST(IdctRows, GivesTheLibrarysSamplesForEveryRow) {
  std::mt19937 random(20261211);
  for (const int quality : {5, 50, 90, 100}) {
    SCOPED_TRACE(quality);
    Decoder decoder(quality, JDCT_FLOAT);
    ASSERT_TRUE(IdctRowsMatch(decoder.info(), decoder.comp(), decoder.idct()));
    alignas(16) JCOEF coefficients[DCTSIZE2];
    for (int b = 0; b < 4000; ++b) {
      // Few values or many, small or up to the extremes, where the rounding saturates.
      const int count = b % 3 == 0 ? DCTSIZE2 : 1 + static_cast<int>(random() % 16);
      const int magnitude = std::array{4, 60, 1000, 32768}[static_cast<std::size_t>(b % 4)];
      std::memset(coefficients, 0, sizeof coefficients);
      for (int n = 0; n < count; ++n) {
        const auto place = count == DCTSIZE2 ? n : static_cast<int>(random() % DCTSIZE2);
        const int value = static_cast<int>(random() % (2u * magnitude)) - magnitude;
        coefficients[place] = static_cast<JCOEF>(std::clamp(value, -32768, 32767));
      }
      Rows theirs, all, alone;
      decoder.idct()(decoder.info(), decoder.comp(), coefficients, theirs.rows.data(), 0);
      IdctRows(decoder.table(), coefficients, all.rows.data(), 0, 0xFF);
      ASSERT_EQ(all.block, theirs.block) << "block " << b;
      for (int y = 0; y < DCTSIZE; ++y) {
        IdctRows(decoder.table(), coefficients, alone.rows.data(), 0, 1u << y);
        ASSERT_EQ(alone.block[y], theirs.block[y]) << "block " << b << ", row " << y;
      }
    }
  }
}

TEST(IdctRows, StandsInOnlyForTheTransformItRepeats) {
  Decoder float_method(75, JDCT_FLOAT);
  EXPECT_TRUE(IdctRowsMatch(float_method.info(), float_method.comp(), float_method.idct()));
  // The library's C code for the float method rounds otherwise.
  EXPECT_FALSE(IdctRowsMatch(float_method.info(), float_method.comp(), jpeg_idct_float));
  // Another method's transform, with its own table.
  Decoder integer_method(75, JDCT_ISLOW);
  EXPECT_FALSE(
      IdctRowsMatch(integer_method.info(), integer_method.comp(), integer_method.idct()));
}

}  // namespace
