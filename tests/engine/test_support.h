#pragma once
// Shared helpers of the engine tests: a temporary folder, files, the libjpeg-turbo tools
// as oracles, BMP and PPM images, and JPEGs of unusual colour models written by libjpeg.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine_options.h"
#include "engine/raster.h"

namespace fs = std::filesystem;

// The options the tests draw with: the defaults, except that TESSARINE_TEST_SPLIT=always in
// the environment cuts every picture the fast road can cut between two threads (the
// ThreadSanitizer run in CI sets it).
EngineOptions TestOptions();

// Pictures kept with the tests in tests/data/jpeg: one by name, or every .jpg there, sorted.
std::string TestData(const std::string& name);
std::vector<std::string> TestDataFiles();

// The optional big corpus: TESSARINE_CORPUS_DIR from the environment, else the build's
// setting. BigCorpusFiles gives the .jpg files of its `folder` ("small" or "large") that
// tests/data/jpeg does not hold too, sorted; none when the corpus is absent.
std::string BigCorpusDir();
bool HaveBigCorpus();
std::vector<std::string> BigCorpusFiles(const std::string& folder);
std::string NoBigCorpus();  // the reason given by tests that skip without it
#define SKIP_WITHOUT_BIG_CORPUS() \
  if (!HaveBigCorpus()) GTEST_SKIP() << NoBigCorpus()

// A photograph of 3001 x 2001 pixels, the picture of exif-Landscape_3.jpg enlarged with
// deterministic grain, encoded by cjpeg with `cjpeg_options` (sampling, -progressive,
// -grayscale, ...). Made once per process and options; the file lasts until the process ends.
const std::string& LargePhoto(const std::string& cjpeg_options);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Fails the test unless the command exits 0 (or 2, a libjpeg tool's warning, when allowed).
void RunTool(const std::string& command, bool warnings_allowed = false);

// The pixels of a BMP as djpeg writes it: rows bottom-up, padded to 4 bytes.
struct Bmp {
  int width = 0, height = 0, bits = 0;
  std::vector<RgbColour> table;  // 8-bit files
  std::vector<std::uint8_t> pixels;
  const std::uint8_t* Row(int r) const;  // image row r, 0 = top
};
Bmp ReadBmp(const std::string& path);

// Raster pixels as an RGB binary PPM that cjpeg reads.
void WritePpm(const std::string& path, const Raster& raster);
// A 24-bit raster filled from a seed, every pixel different enough to exercise the codec.
void FillPattern(Raster& raster, int width, int height, unsigned seed);
RgbColour PixelAt(const Raster& raster, int x, int y);  // through the table for 8 bits

// A JPEG written by libjpeg from rows of `components` interleaved samples in colour space
// in_space, stored as jpeg_space at `quality`; row(y) gives row y from the top.
std::vector<std::uint8_t> LibjpegEncode(int width, int height, int components, int in_space,
                                        int jpeg_space, int quality,
                                        const std::function<const std::uint8_t*(int)>& row);

// A 4-component JPEG written by libjpeg as Adobe CMYK or YCCK (jpeg_space), with varied
// inks on every row.
std::vector<std::uint8_t> PatternInkJpeg(int width, int height, int jpeg_space);

// A JPEG of `components` components written by libjpeg with the given colour space, every
// pixel the same stored sample values.
std::vector<std::uint8_t> SolidJpeg(int components, int in_space, int jpeg_space,
                                    const std::vector<std::uint8_t>& samples);
