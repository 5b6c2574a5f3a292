// The fast road's guards: its check at first use, the decisions that keep it to what it
// models of the library, and the library's large stores.
#include "engine/fast/fast_road.h"

#include <gtest/gtest.h>

#include <csetjmp>

#include "engine/fast/block_filter.h"
#include "engine/fast/stream_rows.h"
#include "engine/fast/upsampling.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"
#include "engine/large_pages.h"
#include "tests/engine/test_support.h"

TEST(FastRoad, CheckAtFirstUseFindsBothRoadsAlike) {
  EXPECT_EQ(FastRoadCheck(), std::vector<std::string>{});
  EXPECT_TRUE(FastRoadUsable());
}

namespace {

// What the fast road decides for a picture once the library has started on it, with smooth
// upsampling on or off.
struct Decisions {
  bool known = false, skip = false, filter = false;
};

Decisions DecideWith(Decompressor& jpeg, const std::vector<std::uint8_t>& bytes, bool smooth,
                     Decisions& out) {
  if (setjmp(jpeg.err.jump)) return out;
  OpenDecoder(jpeg, bytes, JpegSettings{}, SourceFeed::kWhole);
  jpeg.info.do_fancy_upsampling = smooth;
  jpeg_start_decompress(&jpeg.info);
  const int pick = 0;
  std::uint8_t row[3];
  std::uint8_t* const target_rows[1] = {row};
  Job job;
  job.cols = job.rows = &pick;
  job.col_count = job.row_count = 1;
  job.target_rows = target_rows;
  BlockFilter filter;
  long long skipped = 0;
  filter.skipped = &skipped;
  out = {UpsamplingKnown(jpeg.info), SkipIsExact(jpeg.info), FilterBlocks(jpeg.info, job, filter)};
  return out;
}

Decisions Decide(const std::string& file, bool smooth) {
  const std::vector<std::uint8_t> bytes = ReadBytes(file);
  Decompressor jpeg;
  Decisions out;
  return DecideWith(jpeg, bytes, smooth, out);
}

}  // namespace

// Rows are skipped and blocks filtered only where the library upsamples as modelled: with
// smooth upsampling off (the library's merged upsampler, which hung the draw) neither, and
// where a 4:2:0 picture's chroma is at most two samples wide (repeated, without context
// rows) no skipping.
TEST(FastRoad, SkipsAndFiltersOnlyWhereTheUpsamplingIsKnown) {
  TempDir dir;
  RunTool("djpeg -scale 1/4 -outfile " + (dir / "full.ppm") + " " +
          TestData("exif-Landscape_3.jpg"));
  for (const int width : {4, 5}) {
    RunTool("pamcut -width " + std::to_string(width) + " -height 40 " + (dir / "full.ppm") +
            " > " + (dir / "cut.ppm"));
    RunTool("cjpeg -sample 2x2 -outfile " + (dir / "cut.jpg") + " " + (dir / "cut.ppm"));
    const Decisions smooth = Decide(dir / "cut.jpg", true);
    EXPECT_TRUE(smooth.known) << width;
    EXPECT_EQ(smooth.skip, width == 5) << width;
    EXPECT_TRUE(smooth.filter) << width;
  }
  for (const char* file : {"jd-tower.jpg", "made-440.jpg", "jd-tower_progressive.jpg"}) {
    SCOPED_TRACE(file);
    const Decisions smooth = Decide(TestData(file), true);
    EXPECT_TRUE(smooth.known && smooth.skip && smooth.filter);
    const Decisions merged = Decide(TestData(file), false);
    EXPECT_FALSE(merged.known || merged.skip || merged.filter);
  }
}

// The library's whole-image buffers of a progressive picture (one for each component, all
// above 2 MB here) come from the huge-page stores and go back. Nothing in this test refers
// to the file that hands them over: it is linked in as into any program.
TEST(FastRoad, LibraryTakesItsLargeStoresFromTheHugePageStores) {
  const std::vector<std::uint8_t> bytes = ReadBytes(LargePhoto("-progressive"));
  const std::size_t made = LargeStoresMade(), live = LargeStoresLive();
  {
    Raster raster;
    DecodeJpeg(bytes, JpegSettings{}, raster);
    EXPECT_GE(LargeStoresMade(), made + 4);  // the raster's, and three of the library's
  }
  EXPECT_EQ(LargeStoresLive(), live);
}
