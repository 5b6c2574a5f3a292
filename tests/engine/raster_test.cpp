#include "engine/raster.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "engine/display_depth.h"
#include "engine/errors.h"
#include "engine/stretch.h"
#include "tests/engine/test_support.h"

namespace {

void MakeWhite24(Raster& raster, int width, int height) {
  raster.SetWidth(width);
  raster.SetHeight(height);
  raster.SetFormat(rf24Bit);
}

void SetPixel(Raster& raster, int x, int y, RgbColour c) {
  std::uint8_t* p = raster.RowAddress(y) + 3 * x;
  p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red;
}

constexpr RgbColour kWhite{255, 255, 255};
constexpr RgbColour kBlack{0, 0, 0};

}  // namespace

TEST(Raster, StatesAlongTheFixedCallingOrder) {
  Raster raster;
  int notices = 0;
  raster.SetOnChange([&] { ++notices; });
  EXPECT_FALSE(raster.HasStore());
  raster.SetWidth(5);
  EXPECT_FALSE(raster.HasStore());
  EXPECT_EQ(raster.GetFormat(), rfDevice);
  raster.SetHeight(3);
  EXPECT_TRUE(raster.HasStore());
  EXPECT_EQ(raster.GetFormat(), rfDevice);
  SetPixel(raster, 1, 1, {10, 20, 30});  // a device store keeps its pixels into 24 bits
  raster.SetFormat(rf24Bit);
  EXPECT_EQ(raster.GetFormat(), rf24Bit);
  EXPECT_EQ(notices, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(PixelAt(raster, x, y), (x == 1 && y == 1 ? RgbColour{10, 20, 30} : kWhite));
  raster.SetWidth(5);  // the same value: nothing happens
  EXPECT_EQ(notices, 3);
  EXPECT_EQ(PixelAt(raster, 1, 1), (RgbColour{10, 20, 30}));
  raster.SetWidth(2);  // a new size keeps the old pixels at (0, 0)
  EXPECT_EQ(PixelAt(raster, 1, 1), (RgbColour{10, 20, 30}));
}

TEST(Raster, FormatChangesKeepPixelsBothWays) {
  Raster raster;
  raster.SetFormat(rf8Bit);  // an empty raster makes its first store in this format
  raster.SetWidth(2);
  raster.SetHeight(1);
  EXPECT_EQ(raster.GetFormat(), rf8Bit);
  // Until a table is set, levels of red, green and blue: 0 black, 3 pure blue, 255 white.
  ASSERT_EQ(raster.ColorTable().size(), 256u);
  EXPECT_EQ(raster.ColorTable()[0], (RgbColour{0, 0, 0}));
  EXPECT_EQ(raster.ColorTable()[3], (RgbColour{0, 0, 255}));
  EXPECT_EQ(raster.ColorTable()[255], (RgbColour{255, 255, 255}));
  raster.SetColorTable({{1, 2, 3}, {200, 100, 50}});
  raster.RowAddress(0)[0] = 1;
  raster.RowAddress(0)[1] = 0;
  raster.SetFormat(rf24Bit);
  EXPECT_EQ(PixelAt(raster, 0, 0), (RgbColour{200, 100, 50}));
  EXPECT_EQ(PixelAt(raster, 1, 0), (RgbColour{1, 2, 3}));
}

TEST(Raster, RowsArePaddedAndStoredBottomUp) {
  Raster raster;
  MakeWhite24(raster, 5, 4);
  EXPECT_EQ(raster.BytesPerRow(), 16);
  EXPECT_EQ(raster.RowAddress(0) - raster.RowAddress(3), 3 * 16);
  Raster grey;
  grey.SetFormat(rf8Bit);
  grey.SetWidth(5);
  grey.SetHeight(2);
  EXPECT_EQ(grey.BytesPerRow(), 8);
  for (int r : {-1, 4}) {
    try {
      raster.RowAddress(r);
      ADD_FAILURE() << r;
    } catch (const RasterError& e) {
      EXPECT_STREQ(e.what(), "Scan line index out of range");
    }
  }
}

TEST(Raster, SharingCopiesOnFirstWrite) {
  Raster first;
  MakeWhite24(first, 3, 2);
  Raster second;
  second.Share(first);
  EXPECT_TRUE(second.SharesPictureWith(first));
  SetPixel(second, 0, 0, kBlack);  // the writer gets the private copy
  EXPECT_FALSE(second.SharesPictureWith(first));
  EXPECT_EQ(PixelAt(first, 0, 0), kWhite);
  EXPECT_EQ(PixelAt(second, 0, 0), kBlack);

  Raster third;
  third.Share(first);
  Raster picture;
  MakeWhite24(picture, 1, 1);
  SetPixel(picture, 0, 0, kBlack);
  first.Canvas().DrawScaled({0, 0, 3, 2}, picture);
  EXPECT_EQ(PixelAt(first, 2, 1), kBlack);
  EXPECT_EQ(PixelAt(third, 2, 1), kWhite);
}

TEST(Stretch, PickSpreadsDroppedAndRepeatedLinesEvenly) {
  struct Case {
    int dest, src;
  };
  for (Case c :
       {Case{4, 10}, Case{3, 1000}, Case{999, 1000}, Case{7, 7}, Case{10, 4}, Case{1, 5}}) {
    const std::vector<int> map = NearestPickMap(c.dest, c.src);
    ASSERT_EQ(map.size(), static_cast<std::size_t>(c.dest));
    const int low = c.src / c.dest, high = (c.src + c.dest - 1) / c.dest;
    EXPECT_LE(std::abs(map.front() - (c.src - 1 - map.back())), 1) << c.dest << " from " << c.src;
    for (std::size_t i = 1; i < map.size(); ++i) {
      const int step = map[i] - map[i - 1];
      EXPECT_TRUE(step == low || step == high) << c.dest << " from " << c.src << " at " << i;
    }
  }
  EXPECT_EQ(NearestPickMap(4, 10), (std::vector<int>{1, 3, 6, 8}));
  EXPECT_EQ(NearestPickMap(4, 10, 2, 2), (std::vector<int>{6, 8}));
}

TEST(Stretch, ReducedBlackAndWhiteStaysBlackAndWhite) {
  Raster checker;
  MakeWhite24(checker, 64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      if ((x / 3 + y / 2) % 2) SetPixel(checker, x, y, kBlack);
  Raster target;
  MakeWhite24(target, 13, 9);
  target.Canvas().DrawScaled({0, 0, 13, 9}, checker);
  std::set<std::tuple<int, int, int>> seen;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) {
      const RgbColour c = PixelAt(target, x, y);
      seen.insert({c.Red, c.Green, c.Blue});
      const int sx = NearestPick(x, 13, 64), sy = NearestPick(y, 9, 48);
      EXPECT_EQ(c, PixelAt(checker, sx, sy)) << x << "," << y;
    }
  EXPECT_EQ(seen, (std::set<std::tuple<int, int, int>>{{0, 0, 0}, {255, 255, 255}}));
}

TEST(Stretch, ClippedRectKeepsTheMappingOfTheWholeRect) {
  Raster source;
  FillPattern(source, 40, 30, 7);
  Raster whole;
  MakeWhite24(whole, 25, 17);
  whole.Canvas().DrawScaled({0, 0, 25, 17}, source);
  Raster window;
  MakeWhite24(window, 10, 8);
  window.Canvas().DrawScaled({-10, -5, 15, 12}, source);  // starts left of and above the target
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(window, x, y), PixelAt(whole, x + 10, y + 5));
  Raster offset;
  MakeWhite24(offset, 10, 8);
  offset.Canvas().DrawScaled({3, 2, 28, 19}, source);  // runs past the right and bottom edges
  EXPECT_EQ(PixelAt(offset, 2, 1), kWhite);
  EXPECT_EQ(PixelAt(offset, 9, 7), PixelAt(whole, 6, 5));
}

TEST(Stretch, EightBitSourceDrawsThroughItsTable) {
  Raster grey;
  grey.SetFormat(rf8Bit);
  grey.SetWidth(3);
  grey.SetHeight(2);
  grey.SetColorTable({{0, 0, 0}, {90, 90, 90}, {255, 255, 255}});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) grey.RowAddress(y)[x] = static_cast<std::uint8_t>((x + y) % 3);
  Raster target;
  MakeWhite24(target, 3, 2);
  target.Canvas().DrawScaled({0, 0, 3, 2}, grey);  // its own size: pixel for pixel
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(target, x, y), PixelAt(grey, x, y));
}

TEST(Stretch, HalftoneAveragesOnlyOnShallowDisplays) {
  Raster stripes;
  MakeWhite24(stripes, 2, 2);
  SetPixel(stripes, 0, 0, kBlack);
  SetPixel(stripes, 0, 1, kBlack);
  EXPECT_FALSE(UsesHalftone(24, 24));
  EXPECT_FALSE(UsesHalftone(8, 8));
  EXPECT_TRUE(UsesHalftone(8, 24));
  SetDisplayDepth(8);
  Raster target;
  MakeWhite24(target, 1, 1);
  target.Canvas().DrawScaled({0, 0, 1, 1}, stripes);
  SetDisplayDepth(24);
  EXPECT_EQ(PixelAt(target, 0, 0), (RgbColour{128, 128, 128}));
}

TEST(Stretch, NothingToDrawChangesNothing) {
  Raster empty;
  Raster target;
  MakeWhite24(target, 2, 2);
  target.Canvas().DrawScaled({0, 0, 2, 2}, empty);
  target.Canvas().DrawScaled({0, 0, 2, 2}, nullptr);
  Raster source;
  FillPattern(source, 2, 2, 1);
  target.Canvas().DrawScaled({2, 0, 4, 2}, source);  // wholly outside
  target.Canvas().DrawScaled({1, 1, 1, 2}, source);  // no width
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(PixelAt(target, x, y), kWhite);
}
