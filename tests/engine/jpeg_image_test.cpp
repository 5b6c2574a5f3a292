#include "engine/jpeg_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

#include <jpeglib.h>

#include "tests/engine/test_support.h"

namespace {

std::vector<std::uint8_t> Encode(const Raster& raster) {
  JpegImage image;
  image.AssignRaster(raster);
  std::ostringstream out;
  image.SaveStream(out);
  const std::string s = out.str();
  return {s.begin(), s.end()};
}

// Our decoded raster against djpeg's BMP of the same file, row by row without padding.
void ExpectSameAsDjpeg(const std::string& file, const std::string& djpeg_options,
                       bool shallow_display = false) {
  TempDir dir;
  RunTool("djpeg -dct float " + djpeg_options + " -bmp -outfile " + (dir / "ref.bmp") + " " + file,
          true);
  const Bmp ref = ReadBmp(dir / "ref.bmp");
  JpegImage image;
  if (shallow_display) image.Settings().OutputFormat = rf8Bit;
  image.LoadFile(file);
  const Raster& raster = image.DecodedRaster();
  ASSERT_EQ(raster.Width(), ref.width) << file;
  ASSERT_EQ(raster.Height(), ref.height) << file;
  ASSERT_EQ(raster.BitsPerPixel(), ref.bits) << file;
  if (ref.bits == 8) {
    ASSERT_EQ(raster.ColorTable().size(), 236u) << file;
    for (std::size_t i = 0; i < 236; ++i) EXPECT_EQ(raster.ColorTable()[i], ref.table.at(i)) << i;
  }
  const std::size_t row_bytes = static_cast<std::size_t>(ref.width) * ref.bits / 8;
  for (int y = 0; y < ref.height; ++y)
    ASSERT_EQ(std::memcmp(raster.RowAddress(y), ref.Row(y), row_bytes), 0) << file << " row " << y;
}

}  // namespace

TEST(JpegEncode, StreamIsByteForByteWhatCjpegWrites) {
  for (auto [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{1, 9}, std::pair{300, 1}}) {
    TempDir dir;
    Raster raster;
    FillPattern(raster, w, h, static_cast<unsigned>(w * 131 + h));
    WritePpm(dir / "in.ppm", raster);
    RunTool("cjpeg -dct float -quality 90 -baseline -outfile " + (dir / "ref.jpg") + " " +
            (dir / "in.ppm"));
    EXPECT_EQ(Encode(raster), ReadBytes(dir / "ref.jpg")) << w << " x " << h;
  }
}

TEST(JpegEncode, MarkerLayoutOfASixteenBySixteenRaster) {
  Raster raster;
  FillPattern(raster, 16, 16, 3);
  const std::vector<std::uint8_t> bytes = Encode(raster);
  const std::vector<std::uint8_t> head = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49,
                                          0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01,
                                          0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02,
                                          0x02, 0x03, 0x02, 0x02, 0x03, 0x03};
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
  const std::vector<std::uint8_t> sof = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03,
                                         0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), sof.begin(), sof.end()), bytes.end());
  EXPECT_EQ(bytes[bytes.size() - 2], 0xFF);
  EXPECT_EQ(bytes.back(), 0xD9);
}

TEST(JpegEncode, EmptyRasterSavesAZeroByteFile) {
  TempDir dir;
  Raster empty;
  empty.SetWidth(7);
  JpegImage image;
  image.AssignRaster(empty);
  WriteBytes(dir / "out.jpg", {1, 2, 3});
  image.SaveFile(dir / "out.jpg");
  EXPECT_TRUE(ReadBytes(dir / "out.jpg").empty());
}

TEST(JpegEncode, LoadedImageSavesItsBytesUnchanged) {
  TempDir dir;
  JpegImage image;
  image.LoadFile(TestData("jd-jpg-progressive.jpg"));
  image.DecodedRaster();
  image.SaveFile(dir / "copy.jpg");
  EXPECT_EQ(ReadBytes(dir / "copy.jpg"), ReadBytes(TestData("jd-jpg-progressive.jpg")));
  JpegImage shared;
  shared.AssignJpeg(image);
  EXPECT_EQ(shared.Width(), 32);
  EXPECT_EQ(&shared.Encoded(), &image.Encoded());
}

TEST(JpegDecode, ColourFilesMatchDjpegPixelForPixel) {
  for (const char* file :
       {"ljt-testorig.jpg", "jd-rgb.jpg", "jd-jpg-progressive.jpg", "jd-restarts.jpg",
        "jd-mjpeg.jpg", "jd-jpg-size-17x17.jpg", "jd-partial_progressive.jpg",
        "jd-large_image.jpg", "made-440.jpg", "made-411.jpg", "made-odd-2x2-1x2-1x2.jpg",
        "made-odd-4x2-1x1-1x1.jpg", "made-odd-1x1-2x2-1x1.jpg"}) {
    SCOPED_TRACE(file);
    ExpectSameAsDjpeg(TestData(file), "");
  }
}

TEST(JpegDecode, GreyFilesMatchDjpegQuantizedTo236) {
  for (const char* file :
       {"jd-tower_grayscale.jpg", "jd-grayscale_16x24_sampling2x2.jpg", "jd-jpg-gray.jpg"}) {
    SCOPED_TRACE(file);
    ExpectSameAsDjpeg(TestData(file), "-colors 236");
  }
}

TEST(JpegDecode, ShallowDisplayGivesColourFilesQuantizedTo236AsDjpeg) {
  TempDir dir;
  Raster picture;
  FillPattern(picture, 48, 32, 5);
  WritePpm(dir / "in.ppm", picture);
  RunTool("cjpeg -outfile " + (dir / "colour.jpg") + " " + (dir / "in.ppm"));
  ExpectSameAsDjpeg(dir / "colour.jpg", "-colors 236", true);
}

TEST(JpegDecode, AdobeCmykAndYcckBecomeRgb) {
  const std::vector<std::uint8_t> red_inverted = {255, 0, 0, 255};  // no cyan ink, full M and Y
  struct Case {
    const char* name;
    int jpeg_space;
  };
  for (Case c : {Case{"cmyk", JCS_CMYK}, Case{"ycck", JCS_YCCK}}) {
    TempDir dir;
    WriteBytes(dir / "solid.jpg", SolidJpeg(4, JCS_CMYK, c.jpeg_space, red_inverted));
    JpegImage image;
    image.LoadFile(dir / "solid.jpg");
    const Raster& raster = image.DecodedRaster();
    ASSERT_EQ(raster.GetFormat(), rf24Bit) << c.name;
    const RgbColour p = PixelAt(raster, 8, 8);
    EXPECT_GE(p.Red, 250) << c.name;
    EXPECT_LE(p.Green, 5) << c.name;
    EXPECT_LE(p.Blue, 5) << c.name;
  }
  JpegImage image;
  image.LoadFile(TestData("jd-jpg-cmyk-1.jpg"));
  EXPECT_EQ(image.DecodedRaster().GetFormat(), rf24Bit);
}

TEST(JpegDecode, DecodesOnceAndReportsTheRasterSize) {
  JpegImage image;
  int notices = 0;
  image.SetOnChange([&] { ++notices; });
  image.LoadFile(TestData("jd-jpg-size-15x15.jpg"));
  EXPECT_EQ(notices, 1);
  Raster& first = image.DecodedRaster();
  EXPECT_EQ(&image.DecodedRaster(), &first);
  EXPECT_EQ(image.Width(), 15);
  EXPECT_EQ(image.Height(), 15);
}

namespace {

// Every real file loads, decodes and re-encodes, or fails with a codec error where the
// library itself refuses it (or it is arithmetic-coded). Gives the files refused, with
// their errors, and counts those decoded.
std::set<std::string> LoadDecodeAndReencode(const std::vector<std::string>& files,
                                            int& decoded) {
  std::set<std::string> refused;
  decoded = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    try {
      JpegImage image;
      image.LoadFile(file);
      Raster& raster = image.DecodedRaster();
      Raster copy;  // large pictures re-encode at a quarter of their sides
      const int scale = raster.Width() > 2000 ? 4 : 1;
      copy.SetWidth(raster.Width() / scale);
      copy.SetHeight(raster.Height() / scale);
      copy.SetFormat(rf24Bit);
      copy.Canvas().DrawScaled({0, 0, copy.Width(), copy.Height()}, raster);
      JpegImage output;
      output.AssignRaster(copy);
      std::ostringstream out;
      output.SaveStream(out);
      EXPECT_EQ(out.str().empty(), copy.Width() == 0 || copy.Height() == 0);
      ++decoded;
    } catch (const JpegCodecError& e) {
      refused.insert(fs::path(file).filename().string() + " " + e.what());
    }
  }
  return refused;
}

}  // namespace

TEST(JpegCorpus, EveryTestPictureLoadsDecodesAndReencodes) {
  int decoded = 0;
  EXPECT_EQ(LoadDecodeAndReencode(TestDataFiles(), decoded),
            (std::set<std::string>{
                "jd-derive-huffman-codes-overflow.jpg JPEG error #8",
                "jd-empty.jpg JPEG error #42",
                "jd-jpeg_lossless_sel1.jpg JPEG error #60",
                "jd-max_size.jpg JPEG error #41",
                "jd-missing-sof.jpg JPEG error #51",
                "jd-missing-sos.jpg JPEG error #59",
                "jd-null_height.jpg JPEG error #32",
                "ljt-monkey12.jpg JPEG error #15",
                "ljt-testimgari.jpg JPEG error #1",
                "made-png-named.jpg JPEG error #53",
            }));
  EXPECT_EQ(decoded, 34);
}

TEST(JpegCorpus, EveryBigCorpusFileLoadsDecodesAndReencodes) {
  SKIP_WITHOUT_BIG_CORPUS();
  std::vector<std::string> files = BigCorpusFiles("small");
  for (const std::string& file : BigCorpusFiles("large")) files.push_back(file);
  int decoded = 0;
  EXPECT_EQ(LoadDecodeAndReencode(files, decoded), std::set<std::string>{});
  EXPECT_EQ(decoded, static_cast<int>(files.size()));
}
