// Feeds arbitrary bytes through everything the engine does with a file: the header, the
// load, the decode, the stretched drawing and MakeThumbnail. Any outcome but a picture, a
// refusal or one of the engine's own errors is a finding.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_image.h"
#include "engine/log_sink.h"
#include "engine/memory_budget.h"
#include "engine/raster.h"
#include "engine/thumbnail_writer.h"

namespace {

// Larger pictures are only read up to their header: decoding them takes longer than a
// fuzzing run can afford for one input (huge sizes are a unit test's matter).
constexpr std::int64_t kMaxPixels = 2048 * 2048;

std::string work_dir;

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

void DrawInMemory(const std::uint8_t* data, std::size_t size, int width, int height) {
  // Every other in-memory input takes the roads not taken by MakeThumbnail: the 8-bit
  // output of a shallow display, and the plain road instead of the fast one.
  const bool other_roads = size % 4 == 2;
  JpegImage image;
  if (other_roads) {
    image.SetOptions({EngineRoad::kPlain});
    image.Settings().OutputFormat = rf8Bit;
  }
  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  image.LoadStream(stream);
  Raster target;
  target.SetWidth(width / 3 + 1);
  target.SetHeight(height / 3 + 1);
  target.SetFormat(rf24Bit);
  target.Canvas().DrawScaled(Rect{0, 0, target.Width(), target.Height()}, image);
  image.DecodedRaster();  // again: a failed decode must come back without a new error
}

void MakeFromFile(const std::uint8_t* data, std::size_t size, int width, int height) {
  const std::string source = work_dir + "/source.jpg";
  const std::string dest = work_dir + "/thumb.jpg";
  WriteFile(source, data, size);
  CallbackLogSink log([](const std::string&) {});
  const std::int32_t mode = static_cast<std::int32_t>(size / 2 % 5) + 1;
  MakeThumbnail(source, dest, mode, 30, height / 3, width / 3, log);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMemoryCeiling(std::uint64_t{256} << 20);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/tessarine-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  work_dir = pattern;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  JpegHeader header;
  try {
    header = ReadJpegHeader(std::span<const std::uint8_t>(data, size));
  } catch (const TessarineError&) {
  }
  if (std::int64_t{header.Width} * header.Height > kMaxPixels) return 0;
  try {
    if (size % 2 == 0)
      DrawInMemory(data, size, header.Width, header.Height);
    else
      MakeFromFile(data, size, header.Width, header.Height);
  } catch (const TessarineError&) {
  }
  return 0;
}
