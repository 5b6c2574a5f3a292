// The preview of one file, as the selection change shows it: the engine's default road
// against the plain road (full decode, then the stretch) for every test picture and layout
// at several boxes, pixel for pixel, error for error, and the size told before any error
// of the decode.
#include "engine/preview_picture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/jpeg_image.h"
#include "tests/engine/test_support.h"

namespace {

struct Box {
  int width, height;
};
// The window's box at its design size and at 200 %, a near-square one, and a tiny one.
const std::vector<Box> kBoxes = {{179, 236}, {322, 336}, {161, 168}, {40, 30}};

// What a preview showed, in terms both roads can be compared in.
struct Shown {
  std::optional<std::pair<int, int>> told;  // what on_size was told, if it was called
  std::string error;
  int factor = 0;
  bool unscaled = false;
  int width = 0, height = 0;  // of the reduced picture
  std::string pixels;         // its rows, top-down, without padding
  EngineRoad road = EngineRoad::kPlain;
  bool operator==(const Shown& o) const {
    return told == o.told && error == o.error && factor == o.factor &&
           unscaled == o.unscaled && width == o.width && height == o.height &&
           pixels == o.pixels;
  }
};

Shown Preview(const std::string& file, Box box, const EngineOptions& options) {
  Shown shown;
  DrawReport report;
  try {
    PreviewPicture preview = MakePreview(
        file, box.width, box.height, options,
        [&](int width, int height) { shown.told = std::make_pair(width, height); }, &report);
    EXPECT_NE(preview.Unscaled == nullptr, preview.Reduced == nullptr);
    EXPECT_EQ(std::make_pair(preview.Width, preview.Height), *shown.told);
    shown.factor = preview.Factor;
    shown.unscaled = preview.Unscaled != nullptr;
    if (preview.Reduced) {
      const Raster& r = *preview.Reduced;
      shown.width = r.Width();
      shown.height = r.Height();
      for (int y = 0; y < r.Height(); ++y) {
        const auto* row = reinterpret_cast<const char*>(r.RowAddress(y));
        shown.pixels.append(row, static_cast<std::size_t>(r.Width()) * 3);
      }
    }
  } catch (const std::exception& e) {
    shown.error = e.what();
  }
  shown.road = report.Road;
  return shown;
}

void PrintTo(const Shown& s, std::ostream* out) {
  *out << (s.told ? std::to_string(s.told->first) + "x" + std::to_string(s.told->second)
                  : "no size")
       << " e=" << s.factor << (s.unscaled ? " unscaled" : "") << " shown=" << s.width << "x"
       << s.height << (s.error.empty() ? "" : " error: " + s.error);
}

// Both roads' previews of every file at every box; returns the default road's.
std::vector<Shown> ExpectPlainPreviews(const std::vector<std::string>& files) {
  std::vector<Shown> shown;
  for (const std::string& file : files) {
    for (const Box box : kBoxes) {
      SCOPED_TRACE(file + " in " + std::to_string(box.width) + "x" + std::to_string(box.height));
      const Shown plain = Preview(file, box, {EngineRoad::kPlain});
      shown.push_back(Preview(file, box, TestOptions()));
      EXPECT_EQ(shown.back(), plain);
    }
  }
  return shown;
}

// The picture's data with an unknown marker inserted half-way: the decode fails there.
std::string Damaged(const std::string& source, const TempDir& dir, const std::string& name) {
  std::vector<std::uint8_t> bytes = ReadBytes(source);
  std::size_t at = bytes.size() / 2;
  while (bytes[at - 1] == 0xFF) ++at;
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, 0x02});
  WriteBytes(dir / name, bytes);
  return dir / name;
}

}  // namespace

TEST(PreviewPicture, EveryTestPictureShowsThePlainRoadsPreviewAtEveryBox) {
  const std::vector<Shown> shown = ExpectPlainPreviews(TestDataFiles());
  int unscaled = 0, reduced = 0;
  for (const Shown& s : shown) (s.unscaled ? unscaled : reduced) += s.error.empty();
  EXPECT_GT(unscaled, 0);  // both kinds were seen
  EXPECT_GT(reduced, 0);
}

// Photographs in the layouts cameras and editors write: the reduced ones go the fast road
// where the build has it.
TEST(PreviewPicture, LargePhotosShowThePlainRoadsPreviewThroughTheFastRoad) {
  for (const char* layout : {"-sample 2x2", "-sample 2x1 -quality 95", "-sample 1x1",
                             "-progressive", "-grayscale"}) {
    SCOPED_TRACE(layout);
    for (const Shown& s : ExpectPlainPreviews({LargePhoto(layout)})) {
      EXPECT_FALSE(s.unscaled);
      if (FastRoadAvailable()) {
        EXPECT_EQ(s.road, EngineRoad::kFast);
      }
    }
  }
}

// A decoding error of a reduced picture leaves after the size was told, on both roads, with
// the same text; one in the header leaves before.
TEST(PreviewPicture, ADecodeThatFailsHalfWayHasToldTheSizeFirst) {
  TempDir dir;
  const std::vector<std::string> files = {
      Damaged(LargePhoto("-sample 2x2"), dir, "photo.jpg"),
      Damaged(TestData("jd-tower.jpg"), dir, "sequential.jpg"),
      Damaged(TestData("jd-tower_grayscale.jpg"), dir, "grey.jpg"),
      Damaged(TestData("jd-tower_progressive.jpg"), dir, "progressive.jpg")};
  for (const Shown& s : ExpectPlainPreviews(files)) {
    if (s.unscaled) continue;  // decoded at its first paint, not here
    EXPECT_TRUE(s.told.has_value());
    EXPECT_EQ(s.error.rfind("JPEG error #", 0), 0u) << s.error;
  }
  const Shown header = Preview(TestData("made-png-named.jpg"), kBoxes[0], TestOptions());
  EXPECT_FALSE(header.told.has_value());
  EXPECT_EQ(header.error, "JPEG error #53");
}

TEST(PreviewPicture, ReductionFactorIsTheLongerSidesTruncatedAtLeastOne) {
  EXPECT_EQ(ReductionFactor(1800, 1200, 179, 236), 10);  // width: 1800 div 179
  EXPECT_EQ(ReductionFactor(1200, 1800, 179, 236), 7);   // height: 1800 div 236
  EXPECT_EQ(ReductionFactor(400, 400, 179, 236), 2);     // equal sides: the width's
  EXPECT_EQ(ReductionFactor(500, 500, 179, 10), 2);
  EXPECT_EQ(ReductionFactor(300, 200, 179, 236), 1);     // wider than the box, shown whole
  EXPECT_EQ(ReductionFactor(100, 400, 179, 236), 1);
  EXPECT_EQ(ReductionFactor(300, 200, 0, 0), 300);       // a box squeezed to nothing
}

TEST(PreviewPicture, AReducedPictureIsTheSizeDividedByTheFactor) {
  const PreviewPicture preview =
      MakePreview(TestData("exif-Landscape_3.jpg"), 179, 236, TestOptions(), nullptr);
  EXPECT_EQ(preview.Factor, 10);
  ASSERT_TRUE(preview.Reduced);
  EXPECT_EQ(preview.Reduced->Width(), 180);
  EXPECT_EQ(preview.Reduced->Height(), 120);

  // Wider than the box by less than its width: factor 1, drawn whole and cut off when shown.
  const PreviewPicture wide =
      MakePreview(TestData("ljt-testorig.jpg"), 179, 236, TestOptions(), nullptr);
  EXPECT_EQ(wide.Factor, 1);
  ASSERT_TRUE(wide.Reduced);
  EXPECT_EQ(wide.Reduced->Width(), 227);
  EXPECT_EQ(wide.Reduced->Height(), 149);
}
