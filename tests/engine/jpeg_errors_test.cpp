#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sstream>

#include <jpeglib.h>
#include <jerror.h>

#include "engine/jpeg_image.h"
#include "tests/engine/test_support.h"

namespace {

// The code of the JpegCodecError that action raises, or -1 when it raises none.
int CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const JpegCodecError& e) {
    EXPECT_EQ(e.what(), "JPEG error #" + std::to_string(e.Code()));
    return e.Code();
  }
  return -1;
}

void Draw(JpegImage& image) {
  Raster target;
  target.SetWidth(8);
  target.SetHeight(8);
  target.SetFormat(rf24Bit);
  target.Canvas().DrawScaled({0, 0, 8, 8}, image);
}

// Position just after the marker segment that begins with FF `marker` (the first one).
std::size_t AfterSegment(const std::vector<std::uint8_t>& bytes, std::uint8_t marker) {
  for (std::size_t i = 2; i + 3 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == marker)
      return i + 2 + (bytes[i + 2] << 8) + bytes[i + 3];
  return 0;
}

}  // namespace

// The codes users see are release 6b's; this library must number them the same.
TEST(JpegErrors, LibraryNumbersMessagesLikeRelease6b) {
  EXPECT_EQ(JPEG_LIB_VERSION, 62);
  const std::pair<int, int> codes[] = {
      {JERR_ARITH_NOTIMPL, 1},  {JERR_BAD_PRECISION, 15}, {JERR_CONVERSION_NOTIMPL, 27},
      {JERR_EMPTY_IMAGE, 32},   {JERR_FILE_WRITE, 37},    {JERR_IMAGE_TOO_BIG, 41},
      {JERR_INPUT_EMPTY, 42},   {JERR_NO_IMAGE, 51},      {JERR_NO_SOI, 53},
      {JERR_OUT_OF_MEMORY, 54}, {JERR_SOF_DUPLICATE, 58}, {JERR_SOF_UNSUPPORTED, 60},
      {JERR_UNKNOWN_MARKER, 68}};
  for (auto [library, release6b] : codes) EXPECT_EQ(library, release6b);
}

TEST(JpegErrors, RealFilesRaiseTheirCodesAtLoad) {
  struct Case {
    const char* file;
    int code;
  };
  for (Case c : {Case{"ljt-monkey12.jpg", 15}, Case{"jd-max_size.jpg", 41},
                 Case{"jd-missing-sof.jpg", 51}, Case{"jd-null_height.jpg", 32},
                 Case{"jd-jpeg_lossless_sel1.jpg", 60}}) {
    JpegImage image;
    EXPECT_EQ(CodeOf([&] { image.LoadFile(TestData(c.file)); }), c.code) << c.file;
    EXPECT_EQ(image.Width(), 0) << c.file;
  }
}

TEST(JpegErrors, PngNamedJpgFailsWith53) {
  JpegImage image;
  EXPECT_EQ(CodeOf([&] { image.LoadFile(TestData("made-png-named.jpg")); }), 53);
}

TEST(JpegErrors, ZeroByteFileFailsOnFirstDrawOnly) {
  JpegImage image;
  image.LoadFile(TestData("jd-empty.jpg"));
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 0);
  EXPECT_EQ(CodeOf([&] { Draw(image); }), 42);
  EXPECT_EQ(CodeOf([&] { Draw(image); }), -1);
}

TEST(JpegErrors, ArithmeticFileLoadsWithItsSizeAndFailsToDraw) {
  JpegImage image;
  image.LoadFile(TestData("ljt-testimgari.jpg"));
  EXPECT_EQ(image.Width(), 227);
  EXPECT_EQ(image.Height(), 149);
  EXPECT_EQ(CodeOf([&] { Draw(image); }), 1);
  EXPECT_EQ(image.Width(), 0);  // the failed decode's raster from now on
}

TEST(JpegErrors, CutFiles) {
  TempDir dir;
  const std::vector<std::uint8_t> whole = ReadBytes(TestData("ljt-testorig.jpg"));
  const std::size_t after_dqt = AfterSegment(whole, 0xDB);
  ASSERT_GT(after_dqt, 0u);
  WriteBytes(dir / "headers.jpg", {whole.begin(), whole.begin() + after_dqt});
  JpegImage headers;
  EXPECT_EQ(CodeOf([&] { headers.LoadFile(dir / "headers.jpg"); }), 51);

  const std::size_t after_sos = AfterSegment(whole, 0xDA);
  WriteBytes(dir / "picture.jpg", {whole.begin(), whole.begin() + (after_sos + whole.size()) / 2});
  JpegImage cut;
  cut.LoadFile(dir / "picture.jpg");
  EXPECT_EQ(CodeOf([&] { Draw(cut); }), -1);
  EXPECT_EQ(cut.Width(), 227);
  EXPECT_EQ(cut.Height(), 149);
}

TEST(JpegErrors, UnknownColourModelsAreRefused) {
  TempDir dir;
  WriteBytes(dir / "two.jpg", SolidJpeg(2, JCS_UNKNOWN, JCS_UNKNOWN, {10, 20}));
  JpegImage image;
  image.LoadFile(dir / "two.jpg");
  EXPECT_EQ(CodeOf([&] { image.DecodedRaster(); }), JERR_CONVERSION_NOTIMPL);
}

TEST(JpegErrors, EncodingTooWideARasterFailsWith41) {
  Raster wide;
  wide.SetWidth(70000);
  wide.SetHeight(1);
  wide.SetFormat(rf24Bit);
  JpegImage image;
  image.AssignRaster(wide);
  std::ostringstream out;
  EXPECT_EQ(CodeOf([&] { image.SaveStream(out); }), 41);
}

TEST(JpegErrors, FileErrorsCarryPathAndSystemText) {
  TempDir dir;
  const std::string missing = dir / "missing.jpg";
  JpegImage image;
  try {
    image.LoadFile(missing);
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + missing + "\". " + std::strerror(ENOENT));
  }
  try {
    image.LoadFile(dir.Path().string());  // a folder is no picture, and says so
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir.Path().string() + "\". " + std::strerror(EISDIR));
  }
  const std::string no_folder = dir / "none/out.jpg";
  try {
    image.SaveFile(no_folder);
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + no_folder + "\". " + std::strerror(ENOENT));
  }
}
