// The grey dither against the library's own one-pass quantizer: the same JPEG decoded once
// with the library dithering to N colours and once plainly, then dithered row by row by
// DitherRow, must give the same levels byte for byte, whatever step along the row it takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/fast/grey_dither.h"
#include "tests/engine/test_support.h"

namespace {

struct Grey {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // rows from the top, `width` values each
};

std::vector<std::uint8_t> EncodeGrey(const Grey& picture) {
  return LibjpegEncode(picture.width, picture.height, 1, JCS_GRAYSCALE, JCS_GRAYSCALE, 95,
                       [&](int y) {
                         return picture.pixels.data() +
                                static_cast<std::size_t>(y) * picture.width;
                       });
}

// Decodes grey with the float IDCT; `colours` > 0 has the library dither to that many
// levels (Floyd-Steinberg, one pass) and map its indices back to levels.
Grey DecodeGrey(const std::vector<std::uint8_t>& bytes, int colours) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_GRAYSCALE;
  info.dct_method = JDCT_FLOAT;
  if (colours > 0) {
    info.quantize_colors = TRUE;
    info.two_pass_quantize = FALSE;
    info.dither_mode = JDITHER_FS;
    info.desired_number_of_colors = colours;
  }
  jpeg_start_decompress(&info);
  Grey out;
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row[1] = {out.pixels.data() +
                       static_cast<std::size_t>(info.output_scanline) * out.width};
    jpeg_read_scanlines(&info, row, 1);
  }
  if (colours > 0) {
    EXPECT_EQ(info.actual_number_of_colors, colours);
    for (std::uint8_t& p : out.pixels) p = info.colormap[0][p];
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return out;
}

// At most `step` pixels at a time (the processor may allow fewer).
Grey OwnDither(const std::vector<std::uint8_t>& bytes, int colours, int step = 32) {
  Grey out = DecodeGrey(bytes, 0);
  auto dither = std::make_unique<GreyDither>();
  MakeGreyLevels(colours, *dither);
  dither->step = std::min(dither->step, step);
  std::vector<std::int16_t> errors(static_cast<std::size_t>(out.width) + 2, 0);
  dither->errors = errors.data();
  for (int y = 0; y < out.height; ++y)
    DitherRow(*dither, out.pixels.data() + static_cast<std::size_t>(y) * out.width, out.width);
  return out;
}

// The row and column of the first difference, or "" when the levels agree.
std::string FirstDifference(const Grey& ours, const Grey& library) {
  if (ours.width != library.width || ours.height != library.height) return "size";
  for (std::size_t i = 0; i < ours.pixels.size(); ++i) {
    if (ours.pixels[i] != library.pixels[i]) {
      return "row " + std::to_string(i / ours.width) + " column " +
             std::to_string(i % ours.width) + ": " + std::to_string(ours.pixels[i]) +
             " against " + std::to_string(library.pixels[i]);
    }
  }
  return "";
}

using Fill = std::function<std::uint8_t(int x, int y, std::mt19937& random)>;

struct Content {
  const char* name;
  Fill fill;
};

const std::vector<Content>& Contents() {
  static const std::vector<Content> contents = {
      {"noise", [](int, int, std::mt19937& r) { return static_cast<std::uint8_t>(r()); }},
      // Black and white next to values close to them, so corrected sums leave 0..255.
      {"extremes",
       [](int, int, std::mt19937& r) {
         static const std::uint8_t values[] = {0, 255, 0, 255, 1, 2, 253, 254, 128};
         return values[r() % 9];
       }},
      {"gradient",
       [](int x, int y, std::mt19937&) { return static_cast<std::uint8_t>((3 * x + y) % 256); }},
      // Flat bands of every value, levels and values between levels alike.
      {"bands",
       [](int x, int y, std::mt19937&) { return static_cast<std::uint8_t>(x / 8 + 32 * (y / 8)); }},
      {"flat", [](int, int, std::mt19937&) { return std::uint8_t{119}; }},
      {"smooth noise",
       [](int x, int, std::mt19937& r) {
         return static_cast<std::uint8_t>(100 + x % 40 + static_cast<int>(r() % 3));
       }},
  };
  return contents;
}

struct Size {
  int width, height;
};

// Widths around the sixteen-pixel steps, odd and even row counts so that both row
// directions end a picture.
const Size kSizes[] = {{1, 5},  {2, 4},  {3, 3},  {15, 7},   {16, 8},  {17, 9},  {31, 2},
                       {32, 3}, {33, 6}, {48, 17}, {63, 4}, {100, 5}, {517, 8}, {1031, 3}};

const int kColourCounts[] = {236, 256, 2, 3, 16, 100, 103, 121, 127, 128, 129, 200, 255};

TEST(GreyDither, GivesTheLibrarysLevelsForEveryPictureSizeColourCountAndStep) {
  std::mt19937 random(7);
  for (const Content& content : Contents()) {
    for (const Size size : kSizes) {
      Grey picture{size.width, size.height, {}};
      for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) picture.pixels.push_back(content.fill(x, y, random));
      const std::vector<std::uint8_t> bytes = EncodeGrey(picture);
      for (const int colours : kColourCounts) {
        const Grey library = DecodeGrey(bytes, colours);
        for (const int step : {32, 16, 1}) {
          EXPECT_EQ(FirstDifference(OwnDither(bytes, colours, step), library), "")
              << content.name << " " << size.width << "x" << size.height << ", " << colours
              << " colours, step " << step;
        }
      }
    }
  }
}

TEST(GreyDither, GivesTheLibrarysLevelsForALargeGreyPhoto) {
  const std::vector<std::uint8_t> bytes = ReadBytes(LargePhoto("-grayscale"));
  const Grey library = DecodeGrey(bytes, 236);
  for (const int step : {32, 16})
    EXPECT_EQ(FirstDifference(OwnDither(bytes, 236, step), library), "") << "step " << step;
}

}  // namespace
