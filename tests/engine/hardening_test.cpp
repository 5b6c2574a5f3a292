// Hostile input and hostile destinations: huge frames, damaged files, folders, devices,
// FIFOs and full disks. Each gives a thumbnail, a refusal line or one of the engine's own
// errors; never a crash, a hang or a write where none belongs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "engine/errors.h"
#include "engine/jpeg_image.h"
#include "engine/memory_budget.h"
#include "engine/size_rules.h"
#include "engine/thumbnail_writer.h"
#include "tests/engine/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define TESSARINE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARINE_ASAN 1
#endif
#endif

namespace {

// Sets a memory ceiling for one test.
class MemoryCeiling {
 public:
  explicit MemoryCeiling(std::uint64_t bytes) { SetMemoryCeiling(bytes); }
  ~MemoryCeiling() { SetMemoryCeiling(0); }
};

// The file with its frame header claiming width x height; the scan data stays that of the
// small picture, so the library fills the rest of the frame itself.
std::vector<std::uint8_t> WithFrameSize(std::vector<std::uint8_t> jpeg, int width, int height) {
  for (std::size_t at = 2; at + 9 < jpeg.size();) {
    const std::uint8_t marker = jpeg[at + 1];
    if (marker >= 0xC0 && marker <= 0xC2) {
      jpeg[at + 5] = static_cast<std::uint8_t>(height >> 8);
      jpeg[at + 6] = static_cast<std::uint8_t>(height);
      jpeg[at + 7] = static_cast<std::uint8_t>(width >> 8);
      jpeg[at + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
    at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

// "JPEG error #n" or "Out of memory": the errors a file's content may raise.
bool IsContentError(const std::string& message) {
  const std::string codec = "JPEG error #";
  if (message == "Out of memory") return true;
  return message.size() > codec.size() && message.compare(0, codec.size(), codec) == 0 &&
         message.find_first_not_of("0123456789", codec.size()) == std::string::npos;
}

class HardeningTest : public ::testing::Test {
 protected:
  // MakeThumbnail's outcome in words: the log line, or the error's message.
  std::string Outcome(const std::string& source, const std::string& dest, ThumbnailParams p,
                      const EngineOptions& options = TestOptions()) {
    lines.clear();
    try {
      MakeThumbnail(source, dest, p.Mode, p.Percent, p.Height, p.Width, log, options);
    } catch (const TessarineError& e) {
      EXPECT_TRUE(lines.empty()) << "a log line before " << e.what();
      return e.what();
    }
    EXPECT_EQ(lines.size(), 1u);
    return lines.empty() ? "" : lines.front();
  }
  void ExpectDamagedFilesEndWell(const std::vector<std::string>& files);
  TempDir dir;
  std::vector<std::string> lines;
  CallbackLogSink log{[this](const std::string& line) { lines.push_back(line); }};
};

}  // namespace

TEST_F(HardeningTest, HugeFrameRaisesOutOfMemoryInsteadOfTakingTheMachine) {
  const MemoryCeiling ceiling(std::uint64_t{64} << 20);
  for (const char* file : {"jd-jpg-progressive.jpg", "jd-jpg-gray.jpg",
                           "jd-tower_progressive.jpg"}) {
    SCOPED_TRACE(file);
    const std::string source = dir / "huge.jpg";
    WriteBytes(source, WithFrameSize(ReadBytes(TestData(file)), 65500, 65500));
    JpegImage image;
    image.LoadFile(source);
    ASSERT_EQ(image.Width(), 65500);
    EXPECT_THROW(
        {
          try {
            image.DecodedRaster();
          } catch (const OutOfMemoryError& e) {
            EXPECT_STREQ(e.what(), "Out of memory");
            throw;
          }
        },
        OutOfMemoryError);
  }
  // A progressive picture needs the library's whole-image buffer even when streamed.
  const std::string source = dir / "huge.jpg";
  WriteBytes(source,
             WithFrameSize(ReadBytes(TestData("jd-jpg-progressive.jpg")), 65500, 65500));
  EXPECT_EQ(Outcome(source, dir / "tb.jpg", {tmPercent, 1, 0, 0}), "Out of memory");
  EXPECT_FALSE(fs::exists(dir / "tb.jpg"));
}

TEST_F(HardeningTest, AddressSpaceLimitShrinksTheBudget) {
#ifdef TESSARINE_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; RLIMIT_AS cannot apply";
#else
  const std::string source = dir / "big.jpg";
  WriteBytes(source, WithFrameSize(ReadBytes(TestData("jd-jpg-gray.jpg")), 20000, 20000));
  // In a child: the limit stays with it.
  const auto decode_under_limit = [&source] {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    const rlim_t limit = pages * ::sysconf(_SC_PAGESIZE) + (rlim_t{256} << 20);
    const struct rlimit as{limit, limit};
    if (::setrlimit(RLIMIT_AS, &as) != 0) ::_exit(2);
    // Two thirds of what the limit leaves beside the mappings: at most 170 MB.
    const std::uint64_t budget = MemoryBudget();
    if (budget > (std::uint64_t{171} << 20) || budget < (std::uint64_t{150} << 20)) ::_exit(3);
    JpegImage image;
    image.LoadFile(source);
    try {
      image.DecodedRaster();  // 400 MB at 8 bits per pixel
    } catch (const OutOfMemoryError&) {
      ::_exit(0);
    }
    ::_exit(4);
  };
  EXPECT_EXIT(decode_under_limit(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(HardeningTest, FolderDeviceOrFifoAsDestinationIsRefusedUntouched) {
  const std::string source = dir / "a.jpg";
  fs::copy_file(TestData("jd-tower.jpg"), source);
  fs::create_directory(dir.Path() / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir.Path() / "null-link");
  struct Case {
    std::string dest, reason;
  };
  for (const Case& c : {Case{dir / "folder", std::strerror(EISDIR)},
                        Case{dir / "folder/", std::strerror(EISDIR)},
                        Case{"/dev/null", "Not a regular file"},
                        Case{"/dev/full", "Not a regular file"},
                        Case{dir / "null-link", "Not a regular file"},
                        Case{dir / "fifo", "Not a regular file"}}) {
    SCOPED_TRACE(c.dest);
    EXPECT_EQ(Outcome(source, c.dest, {tmPercent, 50, 0, 0}),
              "Cannot create file \"" + c.dest + "\". " + c.reason);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path() / "folder"));
  EXPECT_TRUE(fs::is_fifo(dir.Path() / "fifo"));
  EXPECT_EQ(ReadBytes(source), ReadBytes(TestData("jd-tower.jpg")));
}

TEST_F(HardeningTest, WriteCutShortByAFullDiskIsAnErrorNotAMadeLine) {
  const std::string source = dir / "a.jpg";
  fs::copy_file(TestData("jd-tower.jpg"), source);
  // A file size limit cuts the write as a full disk does (EFBIG instead of ENOSPC).
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  const struct rlimit small{1000, old_limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string outcome = Outcome(source, dir / "tb.jpg", {tmPercent, 50, 0, 0});
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(outcome, "Stream write error");
  EXPECT_EQ(fs::file_size(dir / "tb.jpg"), 1000u);
}

// Every file cut short and with bytes changed, through MakeThumbnail. Small files are cut
// and changed at many places; the big ones, whose every decode costs seconds under the
// sanitizers, only within their headers and at a few places.
void HardeningTest::ExpectDamagedFilesEndWell(const std::vector<std::string>& files) {
  ASSERT_FALSE(files.empty());
  const std::string source = dir / "damaged.jpg";
  const std::string dest = dir / "tb.jpg";
  std::uint32_t random = 12345;
  const auto next = [&random](std::uint32_t bound) {
    random = random * 1103515245u + 12345u;
    return (random >> 8) % std::max<std::uint32_t>(bound, 1);
  };
  for (const std::string& file : files) {
    const std::vector<std::uint8_t> original = ReadBytes(file);
    const std::uint32_t size = static_cast<std::uint32_t>(original.size());
    const bool big = size > 64 * 1024;
    const std::uint32_t header_end = std::min<std::uint32_t>(size, 1024);
    const int count = big ? 4 : 24;
    for (int i = 0; i < 2 * count; ++i) {
      std::vector<std::uint8_t> damaged = original;
      const bool cut = i < count;
      const std::uint32_t reach = big ? header_end : size;
      if (cut) {
        damaged.resize(next(reach));
      } else if (size > 0) {
        const std::uint32_t at = next(reach);
        damaged[at] ^= static_cast<std::uint8_t>(1u << next(8));
        if (i % 2) damaged[next(reach)] = 0xFF;  // a marker where none belongs
      }
      SCOPED_TRACE(fs::path(file).filename().string() + (cut ? " cut at " : " changed, case ") +
                   std::to_string(cut ? damaged.size() : i));
      WriteBytes(source, damaged);
      fs::remove(dest);
      // A 20% thumbnail of a big picture still decodes it whole: one for files under a
      // megabyte, none for the photographs (the rule then refuses after the header).
      const bool decode = !big || (i == count && size < (1u << 20));
      const ThumbnailParams params = decode ? ThumbnailParams{tmPercent, 20, 0, 0}
                                            : ThumbnailParams{tmByHeight, 0, 1 << 30, 0};
      const std::string outcome = Outcome(source, dest, params);
      const bool made = outcome == "缩略图生成:" + source + "-->" + dest;
      const bool refused = outcome == "缩略图失败：" + source + "只能缩小！";
      EXPECT_TRUE(made || refused || IsContentError(outcome)) << outcome;
      EXPECT_EQ(fs::exists(dest), made) << outcome;
    }
  }
}

TEST_F(HardeningTest, DamagedTestPicturesGiveAThumbnailARefusalOrAnEngineError) {
  ExpectDamagedFilesEndWell(TestDataFiles());
}

TEST_F(HardeningTest, DamagedBigCorpusFilesGiveAThumbnailARefusalOrAnEngineError) {
  SKIP_WITHOUT_BIG_CORPUS();
  std::vector<std::string> files = BigCorpusFiles("small");
  for (const std::string& file : BigCorpusFiles("large")) files.push_back(file);
  ExpectDamagedFilesEndWell(files);
}

// The fast road draws the thumbnail without the full-size raster, which the plain road
// needs and cannot have.
TEST_F(HardeningTest, HugeBaselineFrameGivesItsThumbnailOnTheFastRoad) {
  const MemoryCeiling ceiling(std::uint64_t{64} << 20);
  const std::string source = dir / "huge.jpg";
  WriteBytes(source, WithFrameSize(ReadBytes(TestData("jd-tower.jpg")), 65500, 65500));
  EXPECT_EQ(Outcome(source, dir / "tb.jpg", {tmMaxBox, 0, 100, 100}, {EngineRoad::kPlain}),
            "Out of memory");
  if (!FastRoadAvailable()) GTEST_SKIP() << "this build has no fast road";
  EXPECT_EQ(Outcome(source, dir / "tb.jpg", {tmMaxBox, 0, 100, 100}),
            "缩略图生成:" + source + "-->" + (dir / "tb.jpg"));
  JpegImage thumb;
  thumb.LoadFile(dir / "tb.jpg");
  EXPECT_EQ(thumb.Width(), 100);
  EXPECT_EQ(thumb.Height(), 100);
}

// Inputs the fuzzer once crashed on; each must now end like any other damaged file.
TEST_F(HardeningTest, FuzzFindingsGiveAThumbnailARefusalOrAnEngineError) {
  const MemoryCeiling ceiling(std::uint64_t{256} << 20);
  const std::string findings = TESSARINE_TEST_DATA_DIR "/fuzz";
  for (const auto& entry : fs::directory_iterator(findings)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string outcome =
        Outcome(entry.path().string(), dir / "tb.jpg", {tmPercent, 30, 0, 0});
    EXPECT_TRUE(outcome.rfind("缩略图生成:", 0) == 0 || outcome.rfind("缩略图失败：", 0) == 0 ||
                IsContentError(outcome))
        << outcome;
  }
}

TEST_F(HardeningTest, PicturesHeldAtOnceShareOneBudget) {
  const MemoryCeiling ceiling(std::uint64_t{64} << 20);
  const auto picture = [](Raster& raster) {  // 3000 x 4000 x 3 bytes: 36 MB
    raster.SetWidth(3000);
    raster.SetHeight(4000);
  };
  Raster first, second;
  picture(first);
  EXPECT_THROW(picture(second), OutOfMemoryError);
  Raster copy;
  copy.Share(first);
  EXPECT_THROW(copy.RowAddress(0), OutOfMemoryError);  // its private copy would not fit
  first.SetWidth(0);
  copy.SetWidth(0);
  picture(second);
  EXPECT_EQ(second.Height(), 4000);
}
