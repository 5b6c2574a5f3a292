// The entropy index against a plain scan of the same data: two readers joined in the middle
// must mark every MCU exactly where one reader marks it, and data that is not clean must be
// left to the library.
#include "engine/fast/entropy_index.h"

#include <gtest/gtest.h>

#include <csetjmp>

#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"
#include "tests/engine/test_support.h"

namespace {

// Starts the library on `bytes` as a fast draw does, then prepares and builds the index.
bool Build(const std::vector<std::uint8_t>& bytes, bool two_readers, EntropyIndex& index,
           std::size_t most_marks = SIZE_MAX) {
  Decompressor jpeg;
  if (setjmp(jpeg.err.jump)) return false;
  OpenDecoder(jpeg, bytes, JpegSettings{}, SourceFeed::kWhole);
  jpeg_start_decompress(&jpeg.info);
  return index.Prepare(jpeg.info) && index.Build(two_readers, true, most_marks);
}

std::vector<std::uint8_t> Tower() {
  return ReadBytes(TestData("jd-tower.jpg"));
}

// Where the picture's EOI marker starts.
std::size_t EndOfImage(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = bytes.size() - 2;
  while (!(bytes[at] == 0xFF && bytes[at + 1] == 0xD9)) --at;
  return at;
}

// The MCU starts of two indexes of the same data, every row's and every `stride`th MCU's.
void ExpectSameStarts(const EntropyIndex& one, const EntropyIndex& two, std::size_t stride = 1) {
  ASSERT_EQ(one.RowCount(), two.RowCount());
  for (std::size_t row = 0; row < one.RowCount(); ++row)
    ASSERT_TRUE(one.Row(row) == two.Row(row)) << "MCU row " << row;
  ASSERT_TRUE(one.MarksEveryMcu() && two.MarksEveryMcu());
  for (std::size_t mcu = 0; mcu < one.Mcus(); mcu += stride)
    ASSERT_TRUE(one.At(mcu) == two.At(mcu)) << "MCU " << mcu;
}

// Two readers against one over `files`, counting the files indexed and those the two
// readers joined. Photographs of a megabyte and more must always be joined.
void ExpectTwoReadersMarkRowsAsOne(const std::vector<std::string>& files, int& indexed,
                                   int& joined) {
  indexed = joined = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    EntropyIndex one, two;
    const bool built = Build(bytes, false, one);
    ASSERT_EQ(built, Build(bytes, true, two));
    if (!built) continue;
    ++indexed;
    joined += two.Joined();
    if (bytes.size() >= (std::size_t{1} << 20)) {
      EXPECT_TRUE(two.Joined());
    }
    ExpectSameStarts(one, two);
  }
}

// Decodes `bytes` row by row with the engine's decoder reading in order beside a second
// reader started at `share` of the data, joined as soon as the two have met; the rows go
// into `pixels`. True when they were joined and the data read cleanly to the end.
bool ReadBeside(const std::vector<std::uint8_t>& bytes, double share, EntropyIndex& index,
                std::vector<JSAMPLE>& pixels) {
  Decompressor jpeg;
  if (setjmp(jpeg.err.jump)) return false;
  jpeg_decompress_struct& info = jpeg.info;
  OpenDecoder(jpeg, bytes, JpegSettings{}, SourceFeed::kWhole);
  jpeg_start_decompress(&info);
  if (!index.Prepare(info) || !index.StartSecondReader(share, true)) return false;
  index.Install(info);
  const std::size_t stride = info.output_width * static_cast<std::size_t>(info.output_components);
  pixels.assign(stride * info.output_height, 0);
  bool joined = false;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
    joined = joined || index.JoinSecondReader(info, true);
  }
  jpeg_finish_decompress(&info);
  index.StopSecondReader();
  return joined && !index.Failed() && jpeg.err.num_warnings == 0;
}

// The same rows decoded by the library alone.
std::vector<JSAMPLE> LibraryPixels(const std::vector<std::uint8_t>& bytes) {
  Decompressor jpeg;
  if (setjmp(jpeg.err.jump)) return {};
  jpeg_decompress_struct& info = jpeg.info;
  OpenDecoder(jpeg, bytes, JpegSettings{}, SourceFeed::kWhole);
  jpeg_start_decompress(&info);
  const std::size_t stride = info.output_width * static_cast<std::size_t>(info.output_components);
  std::vector<JSAMPLE> pixels(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return pixels;
}

}  // namespace

// A decoder reading in order beside a second reader, joined where they meet (early, in the
// middle, late): the index then marks every row and MCU where one reader marks them, and the
// rows decoded through it after the join are the library's own.
TEST(EntropyIndex, AnIndexJoinedBesideAnInOrderDecoderIsTheOneReadersIndex) {
  int joined = 0;
  for (const std::string& file : {TestData("jd-tower.jpg"), TestData("exif-Landscape_3.jpg"),
                                  LargePhoto("-sample 2x1 -quality 95"),
                                  LargePhoto("-sample 2x2"), LargePhoto("-grayscale")}) {
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    EntropyIndex one;
    ASSERT_TRUE(Build(bytes, false, one)) << file;
    const std::vector<JSAMPLE> library = LibraryPixels(bytes);
    for (const double share : {0.1, 0.5, 0.9}) {
      SCOPED_TRACE(file + " from " + std::to_string(share));
      EntropyIndex beside;
      std::vector<JSAMPLE> pixels;
      if (!ReadBeside(bytes, share, beside, pixels)) continue;
      ++joined;
      // Before the join At() passes over MCUs from the row's start: a sample is enough.
      ExpectSameStarts(one, beside, 7);
      EXPECT_TRUE(pixels == library);
    }
  }
  EXPECT_GE(joined, 12);
}

TEST(EntropyIndex, TwoReadersMarkEveryMcuWhereOneReaderDoes) {
  std::vector<std::string> files = TestDataFiles();
  for (const char* options : {"-sample 2x1 -quality 95", "-sample 2x2", "-grayscale"})
    files.push_back(LargePhoto(options));
  int indexed = 0, joined = 0;
  ExpectTwoReadersMarkRowsAsOne(files, indexed, joined);
  // Most of the sequential files, grey and colour, with and without subsampling.
  EXPECT_GE(indexed, 20);
  EXPECT_GE(joined, 12);
}

// A second reader that stops short of the data's end (here after a thousand MCUs) cannot be
// joined; the first reader's clean scan then reads on alone.
TEST(EntropyIndex, ASecondReaderStoppingShortLeavesTheScanToTheFirst) {
  const std::vector<std::uint8_t> bytes = ReadBytes(LargePhoto("-sample 2x1 -quality 95"));
  EntropyIndex one, two;
  ASSERT_TRUE(Build(bytes, false, one));
  ASSERT_TRUE(Build(bytes, true, two, 1000));
  EXPECT_FALSE(two.Joined());
  ExpectSameStarts(one, two);
}

TEST(EntropyIndex, TwoReadersMarkEveryMcuWhereOneReaderDoesInTheBigCorpus) {
  SKIP_WITHOUT_BIG_CORPUS();
  std::vector<std::string> files = BigCorpusFiles("small");
  for (const std::string& file : BigCorpusFiles("large")) files.push_back(file);
  int indexed = 0, joined = 0;
  ExpectTwoReadersMarkRowsAsOne(files, indexed, joined);
  EXPECT_GT(joined, 0);
}

TEST(EntropyIndex, DataThatIsNotCleanIsLeftToTheLibrary) {
  EntropyIndex index;
  ASSERT_TRUE(Build(Tower(), true, index));
  const auto expect_refused = [&](const std::vector<std::uint8_t>& bytes) {
    for (const bool two_readers : {false, true}) {
      EntropyIndex refused;
      EXPECT_FALSE(Build(bytes, two_readers, refused)) << two_readers;
      EXPECT_FALSE(refused.Built());
    }
  };
  {
    SCOPED_TRACE("a marker in the middle of the data");
    std::vector<std::uint8_t> bytes = Tower();
    std::size_t at = bytes.size() / 2;
    while (bytes[at - 1] == 0xFF) ++at;
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), {0xFF, 0x02});
    expect_refused(bytes);
  }
  {
    SCOPED_TRACE("cut short");
    std::vector<std::uint8_t> bytes = Tower();
    bytes.resize(bytes.size() * 3 / 4);
    expect_refused(bytes);
  }
  {
    SCOPED_TRACE("bytes between the data and the end marker");
    std::vector<std::uint8_t> bytes = Tower();
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(EndOfImage(bytes)),
                 {0x12, 0x34, 0x56});
    expect_refused(bytes);
  }
  for (const char* file : {"jd-restarts.jpg", "jd-tower_progressive.jpg",
                           "ljt-testimgari.jpg", "jd-extraneous-data.jpg",
                           "jd-dc-predictor-overflow.jpg"}) {
    SCOPED_TRACE(file);
    expect_refused(ReadBytes(TestData(file)));
  }
  {
    SCOPED_TRACE("fill bytes before the end marker are not data");
    std::vector<std::uint8_t> bytes = Tower();
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(EndOfImage(bytes)), {0xFF, 0xFF});
    EntropyIndex filled;
    EXPECT_TRUE(Build(bytes, true, filled));
  }
}
