#include "engine/thumbnail_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <tuple>

#include "engine/jpeg_glue.h"
#include "engine/jpeg_image.h"
#include "engine/size_rules.h"
#include "tests/engine/test_support.h"

namespace {

class ThumbnailWriterTest : public ::testing::Test {
 protected:
  // A copy of a test picture in the temporary folder.
  std::string Source(const std::string& file, const std::string& name = "photo.jpg") {
    fs::copy_file(TestData(file), dir / name);
    return dir / name;
  }
  void Make(const std::string& source, const std::string& dest, ThumbnailParams p,
            const EngineOptions& options = TestOptions()) {
    MakeThumbnail(source, dest, p.Mode, p.Percent, p.Height, p.Width, log, options);
  }
  TempDir dir;
  std::vector<std::string> lines;
  CallbackLogSink log{[this](const std::string& line) { lines.push_back(line); }};
};

// The pick rule written out: destination index d of a span D long takes the source index
// floor((2d + 1) * S / (2D)) of a span S long.
int Pick(int d, int dest_len, int src_len) {
  return static_cast<int>((2LL * d + 1) * src_len / (2LL * dest_len));
}

// The thumbnail built without the engine: djpeg's full decode, the pick rule, cjpeg.
// Grey sources are quantized to 236 levels as the engine does; damaged ones may make djpeg warn.
std::vector<std::uint8_t> Reference(const TempDir& dir, const std::string& source, int w, int h,
                                    bool grey, bool damaged = false) {
  RunTool("djpeg -dct float " + std::string(grey ? "-colors 236 " : "") + "-bmp -outfile " +
              (dir / "full.bmp") + " " + source,
          damaged);
  const Bmp full = ReadBmp(dir / "full.bmp");
  std::ofstream ppm(dir / "thumb.ppm", std::ios::binary);
  ppm << "P6\n" << w << ' ' << h << "\n255\n";
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = full.Row(Pick(y, h, full.height));
    for (int x = 0; x < w; ++x) {
      const int sx = Pick(x, w, full.width);
      const RgbColour c =
          grey ? full.table.at(row[sx]) : RgbColour{row[3 * sx + 2], row[3 * sx + 1], row[3 * sx]};
      ppm.put(static_cast<char>(c.Red))
          .put(static_cast<char>(c.Green))
          .put(static_cast<char>(c.Blue));
    }
  }
  ppm.close();
  RunTool("cjpeg -dct float -quality 90 -baseline -outfile " + (dir / "ref.jpg") + " " +
          (dir / "thumb.ppm"));
  return ReadBytes(dir / "ref.jpg");
}

}  // namespace

TEST_F(ThumbnailWriterTest, HalfSizeMatchesAnIndependentReference) {
  struct Case {
    const char* file;
    int w, h;
    bool grey;
  };
  for (Case c :
       {Case{"ljt-testorig.jpg", 114, 74, false}, Case{"jd-tower.jpg", 256, 256, false},
        Case{"jd-tower_grayscale.jpg", 256, 256, true},
        Case{"jd-multiple-0xff-before-eoi.jpg", 320, 240, false},
        Case{"made-440.jpg", 254, 190, false}, Case{"made-411.jpg", 254, 190, false},
        Case{"made-odd-1x1-2x2-1x1.jpg", 254, 190, false}}) {
    SCOPED_TRACE(c.file);
    const std::string source = Source(c.file, fs::path(c.file).filename().string());
    const std::string dest = dir / "tb.jpg";
    lines.clear();
    Make(source, dest, {tmPercent, 50, 0, 0});
    EXPECT_EQ(lines, std::vector<std::string>{"缩略图生成:" + source + "-->" + dest});
    JpegImage thumb;
    thumb.LoadFile(dest);
    EXPECT_EQ(thumb.Width(), c.w);
    EXPECT_EQ(thumb.Height(), c.h);
    EXPECT_EQ(ReadBytes(dest), Reference(dir, source, c.w, c.h, c.grey));
  }
}

// Entropy-coded data holding fill bytes before a stuffed zero (FF FF 00), which the library
// reads one way or the other depending on how much data it has in hand: the thumbnail is
// the one djpeg and cjpeg make, which read their input 4096 bytes at a time, on both roads.
TEST_F(ThumbnailWriterTest, FillBytesInTheDataGiveWhatAFourKilobyteSourceGives) {
  RunTool("djpeg -scale 1/2 -outfile " + (dir / "full.ppm") + " " +
          TestData("exif-Landscape_3.jpg"));
  for (const char* sample : {"2x2", "1x2", "2x2,1x2,1x2", "1x1"}) {
    SCOPED_TRACE(sample);
    RunTool(std::string("cjpeg -quality 85 -sample ") + sample + " -outfile " +
            (dir / "clean.jpg") + " " + (dir / "full.ppm"));
    std::vector<std::uint8_t> bytes = ReadBytes(dir / "clean.jpg");
    std::size_t data = 0;  // the first byte after the SOS segment
    for (std::size_t i = 0; i + 3 < bytes.size() && data == 0; ++i) {
      if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA)
        data = i + 2 + (bytes[i + 2] << 8 | bytes[i + 3]);
    }
    ASSERT_GT(data, 0u);
    for (std::size_t k = 1; data + 5011 * k + 2000 < bytes.size(); ++k) {
      std::size_t at = bytes.size() - 5011 * k;
      while (bytes[at - 1] == 0xFF) ++at;
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, 0xFF, 0x00});
    }
    WriteBytes(dir / "filled.jpg", bytes);
    for (const auto& [percent, w, h] : {std::tuple{50, 450, 300}, std::tuple{10, 90, 60}}) {
      SCOPED_TRACE(percent);
      const std::vector<std::uint8_t> reference =
          Reference(dir, dir / "filled.jpg", w, h, false, true);
      for (const EngineRoad road : {EngineRoad::kPlain, EngineRoad::kFast}) {
        EngineOptions options = TestOptions();
        options.Road = road;
        const std::string dest = dir / "tb.jpg";
        Make(dir / "filled.jpg", dest, {tmPercent, percent, 0, 0}, options);
        EXPECT_TRUE(ReadBytes(dest) == reference) << (road == EngineRoad::kFast ? "fast" : "plain");
      }
    }
  }
}

// The scan for fill bytes: an FF FF pair anywhere after the first scan header, wherever it
// falls against the scanner's 64-byte steps, and nowhere else.
TEST(SourceFeedTest, FillBytesAreFoundAfterTheFirstScanHeaderOnly) {
  std::vector<std::uint8_t> head = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x04, 0xFF, 0xFF};  // before
  const std::size_t data = head.size() + 4;  // FF DA and a length that is not read
  for (std::size_t size : {0, 1, 2, 63, 64, 65, 66, 129, 200}) {
    std::vector<std::uint8_t> bytes = head;
    bytes.insert(bytes.end(), {0xFF, 0xDA, 0x00, 0x08});
    for (std::size_t i = 0; i < size; ++i) bytes.push_back(i % 3 == 1 ? 0xFF : 0x00);
    bytes.insert(bytes.end(), {0x00, 0xFF});  // an FF as the last byte is no pair
    EXPECT_EQ(FeedFor(bytes), SourceFeed::kWhole) << size;
    for (std::size_t at = data; at + 1 < bytes.size(); ++at) {
      std::vector<std::uint8_t> filled = bytes;
      filled[at] = filled[at + 1] = 0xFF;
      EXPECT_EQ(FeedFor(filled), SourceFeed::kSteps) << size << " " << at;
    }
  }
  EXPECT_EQ(FeedFor(head), SourceFeed::kWhole);  // no scan header
}

TEST_F(ThumbnailWriterTest, RefusalLeavesAnExistingDestUntouched) {
  const std::string source = Source("ljt-testorig.jpg");
  const std::string dest = dir / "tb.jpg";
  WriteBytes(dest, {1, 2, 3});
  Make(source, dest, {tmByWidth, 0, 0, 227});
  EXPECT_EQ(lines, std::vector<std::string>{"缩略图失败：" + source + "只能缩小！"});
  EXPECT_EQ(ReadBytes(dest), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(ThumbnailWriterTest, ZeroSideGivesAnEmptyFileAndTheMadeLine) {
  const std::string source = Source("jd-jpg-size-33x33.jpg");
  const std::string dest = dir / "tb.jpg";
  Make(source, dest, {tmPercent, 1, 0, 0});
  ASSERT_TRUE(fs::exists(dest));
  EXPECT_EQ(fs::file_size(dest), 0u);
  EXPECT_EQ(lines, std::vector<std::string>{"缩略图生成:" + source + "-->" + dest});
}

TEST_F(ThumbnailWriterTest, GreySourceGivesColourFileWithEqualChannels) {
  const std::string source = Source("jd-tower_grayscale.jpg");
  const std::string dest = dir / "tb.jpg";
  Make(source, dest, {tmMaxBox, 0, 100, 100});
  JpegImage thumb;
  thumb.LoadFile(dest);
  EXPECT_FALSE(thumb.IsGray());
  const Raster& raster = thumb.DecodedRaster();
  ASSERT_EQ(raster.GetFormat(), rf24Bit);
  ASSERT_EQ(raster.Width(), 100);
  for (int y = 0; y < raster.Height(); ++y)
    for (int x = 0; x < raster.Width(); ++x) {
      const RgbColour c = PixelAt(raster, x, y);
      ASSERT_TRUE(c.Red == c.Green && c.Green == c.Blue) << x << "," << y;
    }
}

TEST_F(ThumbnailWriterTest, NonJpegRaisesAndLeavesNoFile) {
  RunTool("ppmmake blue 20 20 | pnmtopng > " + (dir / "fake.jpg"));
  const std::string dest = dir / "tb.jpg";
  try {
    Make(dir / "fake.jpg", dest, {tmPercent, 50, 0, 0});
    ADD_FAILURE();
  } catch (const JpegCodecError& e) {
    EXPECT_STREQ(e.what(), "JPEG error #53");
  }
  EXPECT_FALSE(fs::exists(dest));
  EXPECT_TRUE(lines.empty());
}

TEST_F(ThumbnailWriterTest, ExistingDestIsReplacedAndSourceNeverChanges) {
  const std::string source = Source("jd-tower.jpg");
  const std::vector<std::uint8_t> before = ReadBytes(source);
  struct stat old_status {};
  ASSERT_EQ(::stat(source.c_str(), &old_status), 0);
  const std::string dest = dir / "tb.jpg";
  WriteBytes(dest, std::vector<std::uint8_t>(100000, 7));
  Make(source, dest, {tmCustom, 0, 20, 30});
  JpegImage thumb;
  thumb.LoadFile(dest);
  EXPECT_EQ(thumb.Width(), 30);
  EXPECT_EQ(thumb.Height(), 20);
  struct stat new_status {};
  ASSERT_EQ(::stat(source.c_str(), &new_status), 0);
  EXPECT_EQ(ReadBytes(source), before);
  EXPECT_EQ(new_status.st_mtim.tv_sec, old_status.st_mtim.tv_sec);
  EXPECT_EQ(new_status.st_mtim.tv_nsec, old_status.st_mtim.tv_nsec);
}

TEST_F(ThumbnailWriterTest, DestThroughSymlinkedFolderToSourceIsRefused) {
  fs::create_directory(dir.Path() / "photos");
  const std::string source = Source("ljt-testorig.jpg", "photos/a.jpg");
  fs::create_directory_symlink(dir.Path() / "photos", dir.Path() / "out");
  const std::vector<std::uint8_t> before = ReadBytes(source);
  const std::string dest = dir / "out/a.jpg";
  try {
    Make(source, dest, {tmPercent, 50, 0, 0});
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + dest + "\". The destination is the source file itself");
  }
  EXPECT_EQ(ReadBytes(source), before);
  EXPECT_TRUE(lines.empty());
}
