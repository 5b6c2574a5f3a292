// The fast road against the plain road: every thumbnail must be the plain road's file, byte
// for byte, and every failure the plain road's failure.
#include "engine/fast/fast_road.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <sstream>

#include <cstdio>  // before jpeglib.h, which needs FILE
#include <jpeglib.h>

#include "bench/source_list.h"
#include "engine/jpeg_image.h"
#include "engine/size_rules.h"
#include "engine/thumbnail_writer.h"
#include "tests/engine/test_support.h"

namespace {

class StreamedDrawTest : public ::testing::Test {
 protected:
  TempDir dir;
};

// The fast road with the split as given (the environment may force it on, TestOptions).
EngineOptions Fast(SplitDecoding split = TestOptions().Split) {
  EngineOptions options = TestOptions();
  options.Split = split;
  return options;
}

struct Sizing {
  const char* name;
  ThumbnailParams params;
};

const Sizing kHalf{"1/2", {tmPercent, 50, 0, 0}};
const Sizing kTenth{"1/10", {tmPercent, 10, 0, 0}};
const Sizing kBox{"box 160x120", {tmMaxBox, 0, 120, 160}};
const Sizing kCustom{"custom 97x61", {tmCustom, 0, 61, 97}};
const std::vector<Sizing> kSweep = {
    kHalf,   kTenth, {"1/3", {tmPercent, 33, 0, 0}}, {"1/4", {tmPercent, 25, 0, 0}},
    {"99%", {tmPercent, 99, 0, 0}}, kCustom, kBox, {"box 40x40", {tmMaxBox, 0, 40, 40}},
    {"one row", {tmByHeight, 0, 1, 0}}, {"width 7", {tmByWidth, 0, 0, 7}},
};

const Sizing kSmallBox = kSweep[7];

// Steps of one row, of a few rows, of about an iMCU row, and long skips; the small box
// picks pixels more than a block apart.
const std::vector<Sizing> kLayoutSweep = {kHalf,   kSweep[2], kTenth,   kSweep[4],
                                          kCustom, kBox,      kSmallBox};

// What the plain road makes for one sizing: the file's bytes, or the error's text, or
// nothing when the size rules refuse. The picture is decoded once, for every sizing.
class PlainRoad {
 public:
  explicit PlainRoad(const std::string& file) {
    image_.SetOptions({EngineRoad::kPlain});
    try {
      image_.LoadFile(file);
    } catch (const std::exception& e) {
      load_error_ = e.what();
      return;
    }
    header_w_ = image_.Width();
    header_h_ = image_.Height();
    try {
      image_.DecodedRaster();
    } catch (const std::exception& e) {
      error_ = e.what();
    }
  }
  std::optional<std::string> Thumbnail(const ThumbnailParams& p) {
    if (load_error_) return "error: " + *load_error_;
    const auto size = ComputeThumbnailSize(header_w_, header_h_, p);
    if (!size) return std::nullopt;
    if (error_) return "error: " + *error_;
    Raster raster;
    raster.SetWidth(size->ThumbW);
    raster.SetHeight(size->ThumbH);
    raster.SetFormat(rf24Bit);
    raster.Canvas().DrawScaled(Rect{0, 0, size->ThumbW, size->ThumbH}, image_);
    JpegImage output;
    output.AssignRaster(raster);
    std::ostringstream bytes;
    output.SaveStream(bytes);
    return bytes.str();
  }

 private:
  JpegImage image_;
  std::int32_t header_w_ = 0, header_h_ = 0;
  std::optional<std::string> load_error_, error_;
};

// What MakeThumbnail makes on the fast road, in the same terms; `report` gets what it did.
std::optional<std::string> Streamed(const std::string& file, const std::string& dest,
                                    const ThumbnailParams& p, const EngineOptions& options,
                                    DrawReport& report) {
  std::vector<std::string> lines;
  CallbackLogSink log([&](const std::string& line) { lines.push_back(line); });
  fs::remove(dest);
  report = {};
  try {
    MakeThumbnail(file, dest, p.Mode, p.Percent, p.Height, p.Width, log, options, &report);
  } catch (const std::exception& e) {
    return "error: " + std::string(e.what());
  }
  if (lines.empty() || lines[0].rfind("缩略图生成:", 0) != 0) return std::nullopt;
  const std::vector<std::uint8_t> bytes = ReadBytes(dest);
  return std::string(bytes.begin(), bytes.end());
}

// Returns what the fast road's last draw did.
DrawReport ExpectSameThumbnails(const std::string& file, const std::vector<Sizing>& sizings,
                                const TempDir& dir, const EngineOptions& options = Fast()) {
  PlainRoad plain(file);
  DrawReport report;
  for (const Sizing& s : sizings) {
    SCOPED_TRACE(s.name);
    const auto expected = plain.Thumbnail(s.params);
    const auto got = Streamed(file, dir / "tb.jpg", s.params, options, report);
    EXPECT_EQ(expected.has_value(), got.has_value());
    if (expected && got) {
      EXPECT_TRUE(*expected == *got) << (got->rfind("error", 0) == 0 ? *got : "");
    }
  }
  return report;
}

// Adobe CMYK and YCCK pictures with varied inks, written into `dir`.
std::vector<std::string> InkPictures(const TempDir& dir) {
  WriteBytes(dir / "cmyk.jpg", PatternInkJpeg(61, 43, JCS_CMYK));
  WriteBytes(dir / "ycck.jpg", PatternInkJpeg(61, 43, JCS_YCCK));
  return {dir / "cmyk.jpg", dir / "ycck.jpg"};
}

}  // namespace

// Sequential colour pictures cut between two threads wherever they can be cut.
constexpr SplitDecoding kSplits[] = {SplitDecoding::kAuto, SplitDecoding::kAlways};
const char* SplitName(SplitDecoding mode) {
  if (mode == SplitDecoding::kNever) return "one thread";
  return mode == SplitDecoding::kAlways ? "cut in two" : "cut where it pays";
}

TEST_F(StreamedDrawTest, EveryTestPictureGivesThePlainThumbnailForEverySizing) {
  TempDir inks;
  std::vector<std::string> files = TestDataFiles();
  for (const std::string& file : InkPictures(inks)) files.push_back(file);
  for (const SplitDecoding split : kSplits) {
    for (const std::string& file : files) {
      SCOPED_TRACE(file + " " + SplitName(split));
      ExpectSameThumbnails(file, kSweep, dir, Fast(split));
    }
  }
}

namespace {

// Large photos take a few sizes each: one-row steps (1/2), iMCU-row steps (1/10) and long
// skips (the box, a small custom size).
void ExpectLargePhotoGivesThePlainThumbnail(const std::string& file, const TempDir& dir) {
  SCOPED_TRACE(file);
  ExpectSameThumbnails(file, {kHalf, kTenth, kBox, kCustom}, dir);
  ExpectSameThumbnails(file, {kTenth, kBox}, dir, Fast(SplitDecoding::kAlways));
}

// Photographs of 6 MP in the layouts cameras and editors write, made by cjpeg.
struct PhotoLayout {
  const char* name;
  const char* cjpeg_options;
};
void PrintTo(const PhotoLayout& layout, std::ostream* out) { *out << layout.cjpeg_options; }

class LargePhotoTest : public StreamedDrawTest,
                       public ::testing::WithParamInterface<PhotoLayout> {};

}  // namespace

TEST_P(LargePhotoTest, GivesThePlainThumbnail) {
  ExpectLargePhotoGivesThePlainThumbnail(LargePhoto(GetParam().cjpeg_options), dir);
}

INSTANTIATE_TEST_SUITE_P(
    Made, LargePhotoTest,
    ::testing::Values(PhotoLayout{"Baseline420", "-sample 2x2"},
                      PhotoLayout{"Baseline422", "-sample 2x1 -quality 95"},
                      PhotoLayout{"Baseline444", "-sample 1x1"},
                      PhotoLayout{"Progressive420", "-progressive"},
                      PhotoLayout{"Grey", "-grayscale"}),
    [](const auto& info) { return std::string(info.param.name); });

// The big corpus's files that the tests do not hold: the small ones over every sizing, the
// photographs over the few sizes above.
TEST_F(StreamedDrawTest, BigCorpusSmallFilesGiveThePlainThumbnailForEverySizing) {
  SKIP_WITHOUT_BIG_CORPUS();
  for (const SplitDecoding split : kSplits) {
    for (const std::string& file : BigCorpusFiles("small")) {
      SCOPED_TRACE(file + " " + SplitName(split));
      ExpectSameThumbnails(file, kSweep, dir, Fast(split));
    }
  }
}

TEST_F(StreamedDrawTest, BigCorpusPhotographsGiveThePlainThumbnail) {
  SKIP_WITHOUT_BIG_CORPUS();
  for (const std::string& file : BigCorpusFiles("large"))
    ExpectLargePhotoGivesThePlainThumbnail(file, dir);
}

// Every sampling layout, sequential (interleaved or one scan per component) and
// progressive, as cjpeg writes it from one photo cut to odd sides, drawn on one thread and
// cut between two. The layouts that skip rows must have skipped some, and their pictures of
// one scan been cut, and those without restart markers read through the entropy index;
// the others none of this. Every one leaves blocks out of the inverse DCT for a box small
// enough that picks lie more than a block apart, and the progressive ones are read by the
// engine's progressive decoder.
TEST_F(StreamedDrawTest, EverySamplingLayoutGivesThePlainThumbnailAndSkipsOnlyWhereExact) {
  RunTool("djpeg -scale 1/2 -outfile " + (dir / "full.ppm") + " " +
          TestData("exif-Landscape_3.jpg"));
  RunTool("pamcut -width 899 -height 597 " + (dir / "full.ppm") + " > " + (dir / "cut.ppm"));
  WriteBytes(dir / "scans.txt", {'0', ';', '1', ';', '2', ';'});
  const std::string separate_scans = "-scans " + (dir / "scans.txt");
  struct Layout {
    const char* sample;
    bool skips;
  };
  for (const Layout layout : {Layout{"1x1,1x1,1x1", true}, Layout{"2x1,1x1,1x1", true},
                              Layout{"2x2,1x1,1x1", true}, Layout{"1x2,1x1,1x1", true},
                              Layout{"4x1,1x1,1x1", true}, Layout{"2x2,1x2,1x2", false},
                              Layout{"4x2,1x1,1x1", false}, Layout{"1x1,2x2,1x1", false}}) {
    for (const std::string& mode : {std::string(), std::string("-progressive"),
                                    std::string("-restart 1"), separate_scans}) {
      SCOPED_TRACE(std::string(layout.sample) + " " + mode);
      const std::string file = dir / "layout.jpg";
      RunTool(std::string("cjpeg -quality 85 -sample ") + layout.sample + " " + mode +
              " -outfile " + file + " " + (dir / "cut.ppm"));
      ExpectSameThumbnails(file, kLayoutSweep, dir, Fast(SplitDecoding::kAuto));
      const DrawReport cut =
          ExpectSameThumbnails(file, kLayoutSweep, dir, Fast(SplitDecoding::kAlways));
      const bool one_scan = mode.empty() || mode == "-restart 1";
      EXPECT_EQ(cut.Road, EngineRoad::kFast);
      EXPECT_EQ(cut.Split, layout.skips && one_scan);
      EXPECT_EQ(cut.Decoder == EntropyDecoder::kEngineIndexed, layout.skips && mode.empty());
      DrawReport report;
      Streamed(file, dir / "tb.jpg", kTenth.params, Fast(SplitDecoding::kAuto), report);
      EXPECT_EQ(report.RowsSkipped > 0, layout.skips);
      Streamed(file, dir / "tb.jpg", kSmallBox.params, Fast(SplitDecoding::kAuto), report);
      EXPECT_GT(report.BlocksSkipped, 0);
      EXPECT_EQ(report.Decoder == EntropyDecoder::kEngineProgressive, mode == "-progressive");
      EXPECT_FALSE(report.Redrawn);
    }
  }
}

// Progressive scripts other than cjpeg's own: DC scans one component at a time, refined by
// one scan of two, luma bands refined between other components' scans, the largest scan
// last or not, or a small last scan after a larger one it builds on (which the calling
// thread leaves to the helper, and then claims the last as it draws). Scans that build on
// each other are read side by side by two threads; with one or two, the engine's decoder
// reads them all, and a scan that does not end at its marker is noticed even when every row
// of the picture has been drawn.
TEST_F(StreamedDrawTest, ProgressiveScriptsInAnyOrderGiveThePlainThumbnail) {
  RunTool("djpeg -scale 1/2 -outfile " + (dir / "full.ppm") + " " +
          TestData("exif-Landscape_3.jpg"));
  RunTool("pamcut -width 899 -height 597 " + (dir / "full.ppm") + " > " + (dir / "cut.ppm"));
  const std::string start =
      "0: 0-0, 0, 1; 1: 0-0, 0, 1; 2: 0-0, 0, 1; 0: 1-2, 0, 2; 0: 3-63, 0, 2;"
      "1 2: 0-0, 1, 0; 1: 1-63, 0, 0; 0: 1-63, 2, 1; 0: 0-0, 1, 0;";
  for (const auto& [script, sample] :
       {std::pair{start + "2: 1-63, 0, 0; 0: 1-63, 1, 0;", "2x2,1x1,1x1"},
        std::pair{start + "2: 1-63, 0, 0; 0: 1-63, 1, 0;", "1x1,1x1,1x1"},
        std::pair{start + "0: 1-63, 1, 0; 2: 1-63, 0, 0;", "2x2,1x1,1x1"},
        std::pair{start + "2: 1-63, 0, 0; 0: 6-63, 1, 0; 0: 1-5, 1, 0;", "2x2,1x1,1x1"}}) {
    WriteBytes(dir / "script.txt", std::vector<std::uint8_t>(script.begin(), script.end()));
    const std::string file = dir / "script.jpg";
    RunTool(std::string("cjpeg -quality 85 -sample ") + sample + " -scans " +
            (dir / "script.txt") + " -outfile " + file + " " + (dir / "cut.ppm"));
    for (const bool helper : {false, true}) {
      SCOPED_TRACE(script + " " + sample + (helper ? " helper" : " one thread"));
      EngineOptions options = Fast();
      options.Threads = helper;
      ExpectSameThumbnails(file, kLayoutSweep, dir, options);
      for (const Sizing& sizing : {kSmallBox, kHalf}) {  // the last scan read early or late
        DrawReport report;
        Streamed(file, dir / "tb.jpg", sizing.params, options, report);
        EXPECT_EQ(report.Decoder, EntropyDecoder::kEngineProgressive);
        EXPECT_FALSE(report.Redrawn) << sizing.name;
      }
      // Stray bytes between the last scan's data and the end marker: every row reads, but
      // the scan did not end where it must, so the library draws it again (and warns).
      std::vector<std::uint8_t> stray = ReadBytes(file);
      stray.insert(stray.end() - 2, {0x12, 0x34});
      WriteBytes(dir / "stray.jpg", stray);
      EXPECT_TRUE(ExpectSameThumbnails(dir / "stray.jpg", {kSmallBox}, dir, options).Redrawn);
    }
  }
}

// 4:2:0 pictures a few pixels wide, sequential and progressive: where the chroma is at most
// two samples wide the library upsamples it by repeating samples, not smoothly, and skipped
// rows would then come out different from rows read.
TEST_F(StreamedDrawTest, NarrowSubsampledPicturesGiveThePlainThumbnail) {
  RunTool("djpeg -scale 1/2 -outfile " + (dir / "full.ppm") + " " +
          TestData("exif-Landscape_3.jpg"));
  const std::vector<Sizing> sizings = {kSweep[2],
                                       {"height 77", {tmByHeight, 0, 77, 0}},
                                       {"height 87", {tmByHeight, 0, 87, 0}},
                                       {"height 100", {tmByHeight, 0, 100, 0}}};
  for (const int width : {2, 3, 4, 5, 8}) {
    RunTool("pamcut -width " + std::to_string(width) + " -height 261 " + (dir / "full.ppm") +
            " > " + (dir / "narrow.ppm"));
    for (const char* mode : {"", "-progressive"}) {
      SCOPED_TRACE(std::to_string(width) + " wide " + mode);
      const std::string file = dir / "narrow.jpg";
      RunTool(std::string("cjpeg -sample 2x2 ") + mode + " -outfile " + file + " " +
              (dir / "narrow.ppm"));
      ExpectSameThumbnails(file, sizings, dir);
    }
  }
}

// Grey pictures are dithered beside the decoder or by it, with the same bytes either way.
TEST_F(StreamedDrawTest, GreyPicturesReadEveryRowAndNeverSkip) {
  for (const bool worker : {false, true}) {
    EngineOptions options = Fast();
    options.Threads = worker;
    for (const std::string& file :
         {TestData("jd-tower_grayscale.jpg"), LargePhoto("-grayscale")}) {
      SCOPED_TRACE(file + (worker ? " worker" : " inline"));
      JpegImage image;
      image.LoadFile(file);
      DrawReport report;
      Streamed(file, dir / "tb.jpg", kBox.params, options, report);
      EXPECT_EQ(report.RowsSkipped, 0);
      EXPECT_EQ(report.RowsRead, image.Height());
      ExpectSameThumbnails(file, {kHalf, kSmallBox, kSweep[8]}, dir, options);
    }
  }
}

// The preview draws the picture at its own size and places it with negative offsets; any
// rect, clipped or larger than the picture, gives the plain road's pixels.
TEST_F(StreamedDrawTest, AnyRectGivesThePlainPixels) {
  std::vector<std::string> files = {TestData("ljt-testorig.jpg"),
                                    TestData("jd-tower_grayscale.jpg")};
  for (const std::string& file : InkPictures(dir)) files.push_back(file);
  for (const std::string& file : files) {
    JpegImage probe;
    probe.LoadFile(file);
    const int w = probe.Width(), h = probe.Height();
    for (const Rect rect : {Rect{0, 0, w, h}, Rect{-10, -3, w - 10, h - 3},
                            Rect{5, 7, 5 + w / 3, 7 + h / 4}, Rect{-w, 0, w, 2 * h}}) {
      SCOPED_TRACE(file + " " + std::to_string(rect.Left) + "," +
                   std::to_string(rect.Top));
      Raster rasters[2];
      for (int streamed = 0; streamed < 2; ++streamed) {
        JpegImage image;
        image.SetOptions(streamed == 1 ? Fast() : EngineOptions{EngineRoad::kPlain});
        image.LoadFile(file);
        Raster& raster = rasters[streamed];
        raster.SetWidth(w);
        raster.SetHeight(h);
        raster.SetFormat(rf24Bit);
        raster.Canvas().DrawScaled(rect, image);
      }
      for (int y = 0; y < h; ++y)
        ASSERT_EQ(std::memcmp(rasters[0].RowAddress(y), rasters[1].RowAddress(y), 3 * w), 0)
            << "row " << y;
    }
  }
}

// Damaged entropy-coded data read by the engine's own entropy decoders: sequential, in order
// on one thread and through the entropy index cut in two, and progressive, on one thread and
// with a helper reading some scans (the changes fall in any scan, its header or the tables
// before it): whatever a changed, inserted or removed
// byte does to the data (a bad code, a marker, a shifted MCU, bytes past the last MCU), the
// thumbnail or the error is the plain road's. Some changes leave data the engine's decoder
// reads to the end; the others send the draw back to the library's decoder.
TEST_F(StreamedDrawTest, DamagedDataThroughTheEnginesDecoderGivesThePlainThumbnail) {
 for (const SplitDecoding split : {SplitDecoding::kNever, SplitDecoding::kAlways}) {
 for (const char* picture : {"jd-tower.jpg", "jd-tower_progressive.jpg"}) {
  const bool progressive = std::string(picture) == "jd-tower_progressive.jpg";
  EngineOptions options = Fast(split);
  if (progressive) options.Threads = split == SplitDecoding::kAlways;  // never cut: a helper or not
  const std::vector<std::uint8_t> original = ReadBytes(TestData(picture));
  std::size_t data = 0;  // the first byte after the SOS segment
  for (std::size_t i = 0; i + 3 < original.size() && data == 0; ++i) {
    if (original[i] == 0xFF && original[i + 1] == 0xDA)
      data = i + 2 + (original[i + 2] << 8 | original[i + 3]);
  }
  ASSERT_GT(data, 0u);
  std::mt19937 random(20261208);
  int own = 0;
  for (int n = 0; n < 60; ++n) {
    std::vector<std::uint8_t> bytes = original;
    std::uniform_int_distribution<std::size_t> where(data, bytes.size() - 3);
    const std::size_t at = where(random);
    const auto value = static_cast<std::uint8_t>(random());
    switch (n % 3) {
      case 0: bytes[at] = value; break;
      case 1: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), value); break;
      default: bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at)); break;
    }
    SCOPED_TRACE(std::string(picture) + " change " + std::to_string(n) + " at " +
                 std::to_string(at) + " " + SplitName(split));
    WriteBytes(dir / "damaged.jpg", bytes);
    const DrawReport report = ExpectSameThumbnails(dir / "damaged.jpg", {kSmallBox}, dir,
                                                   options);
    own += report.Decoder != EntropyDecoder::kLibrary;
    if (progressive) {
      EXPECT_NE(report.Decoder, EntropyDecoder::kEngineIndexed);
    } else {
      EXPECT_EQ(report.Decoder == EntropyDecoder::kEngineIndexed,
                report.Decoder != EntropyDecoder::kLibrary && split == SplitDecoding::kAlways);
    }
  }
  EXPECT_GT(own, 0);
  EXPECT_LT(own, 60);
 }
 }
}

// A failed streamed draw raises the plain road's error and leaves the image as the failed
// plain decode leaves it: the same size, and later requests give that raster silently.
// Before the decoder starts (empty data, arithmetic coding), and after it (an unknown marker
// in the middle of the picture data, met when the rows reach it or at the end).
TEST_F(StreamedDrawTest, FailuresMatchThePlainRoadAndAreNotRaisedTwice) {
  const auto damaged = [&](const char* source, const std::string& name) {
    std::vector<std::uint8_t> bytes = ReadBytes(TestData(source));
    std::size_t at = bytes.size() / 2;
    while (bytes[at - 1] == 0xFF) ++at;
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, 0x02});
    WriteBytes(dir / name, bytes);
    return dir / name;
  };
  for (const std::string& file :
       {TestData("jd-empty.jpg"), TestData("ljt-testimgari.jpg"),
        damaged("jd-tower.jpg", "sequential.jpg"),
        damaged("jd-tower_grayscale.jpg", "grey.jpg"),
        damaged("jd-tower_progressive.jpg", "progressive.jpg")}) {
   for (const SplitDecoding split : kSplits) {
    SCOPED_TRACE(file + " " + SplitName(split));
    std::string messages[2];
    std::int32_t sizes[2][2];
    Raster rasters[2];
    for (int streamed = 0; streamed < 2; ++streamed) {
      JpegImage image;
      image.SetOptions(streamed == 1 ? Fast(split) : EngineOptions{EngineRoad::kPlain});
      image.LoadFile(file);
      Raster target;
      target.SetWidth(8);
      target.SetHeight(8);
      target.SetFormat(rf24Bit);
      try {
        target.Canvas().DrawScaled(Rect{0, 0, 8, 8}, image);
      } catch (const JpegCodecError& e) {
        messages[streamed] = e.what();
      }
      sizes[streamed][0] = image.Width();
      sizes[streamed][1] = image.Height();
      EXPECT_NO_THROW(target.Canvas().DrawScaled(Rect{0, 0, 8, 8}, image));
      rasters[streamed].Share(image.DecodedRaster());
    }
    EXPECT_FALSE(messages[0].empty());
    EXPECT_EQ(messages[0], messages[1]);
    EXPECT_EQ(sizes[0][0], sizes[1][0]);
    EXPECT_EQ(sizes[0][1], sizes[1][1]);
    ASSERT_EQ(rasters[0].Height(), rasters[1].Height());
    for (int y = 0; y < rasters[0].Height(); ++y)
      ASSERT_EQ(std::memcmp(rasters[0].RowAddress(y), rasters[1].RowAddress(y),
                            rasters[0].BytesPerRow()),
                0);
   }
  }
}

// The benchmark goes through a folder as the JPEG file list shows it.
TEST(BenchSources, AFolderGivesItsJpegFilesSortedWithoutRegardToCase) {
  TempDir dir;
  for (const char* name : {"b.JPEG", "A.jpg", "c.Jpg", "d.png", ".e.jpg", "f.jpg", "x.jpgx"})
    WriteBytes(dir / name, {});
  fs::create_directory(dir.Path() / "g.jpg");
  const std::string folder = dir.Path().string();
  EXPECT_EQ(ListSources({folder, dir / "d.png"}),
            (std::vector<std::string>{folder + "/A.jpg", folder + "/b.JPEG", folder + "/c.Jpg",
                                      folder + "/f.jpg", dir / "d.png"}));
}
