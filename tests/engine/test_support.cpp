#include "tests/engine/test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include <jpeglib.h>

namespace {
std::vector<std::string> JpegFiles(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".jpg") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}
}  // namespace

EngineOptions TestOptions() {
  EngineOptions options;
  const char* split = std::getenv("TESSARINE_TEST_SPLIT");
  if (split != nullptr && std::string(split) == "always") options.Split = SplitDecoding::kAlways;
  return options;
}

std::string TestData(const std::string& name) {
  return std::string(TESSARINE_TEST_DATA_DIR) + "/jpeg/" + name;
}

std::vector<std::string> TestDataFiles() {
  return JpegFiles(std::string(TESSARINE_TEST_DATA_DIR) + "/jpeg");
}

std::string BigCorpusDir() {
  const char* dir = std::getenv("TESSARINE_CORPUS_DIR");
  return fs::path(dir != nullptr && *dir != '\0' ? dir : TESSARINE_CORPUS_DIR)
      .lexically_normal()
      .string();
}

bool HaveBigCorpus() { return fs::is_directory(BigCorpusDir()); }

std::string NoBigCorpus() {
  return "the big test corpus is not at " + BigCorpusDir() + " (set TESSARINE_CORPUS_DIR)";
}

std::vector<std::string> BigCorpusFiles(const std::string& folder) {
  const fs::path path = fs::path(BigCorpusDir()) / folder;
  if (!fs::is_directory(path)) return {};
  std::vector<std::string> files = JpegFiles(path);
  std::erase_if(files, [](const std::string& file) {
    return fs::exists(TestData(fs::path(file).filename().string()));
  });
  return files;
}

const std::string& LargePhoto(const std::string& cjpeg_options) {
  static TempDir dir;
  static std::map<std::string, std::string> made;
  if (const auto it = made.find(cjpeg_options); it != made.end()) return it->second;
  const std::string base = dir / "photo.ppm";
  if (!fs::exists(base)) {
    RunTool("djpeg -bmp -outfile " + (dir / "source.bmp") + " " +
            TestData("exif-Landscape_3.jpg"));
    const Bmp source = ReadBmp(dir / "source.bmp");
    const int width = 3001, height = 2001;
    std::ofstream out(base, std::ios::binary | std::ios::trunc);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    std::vector<char> row(3 * static_cast<std::size_t>(width));
    unsigned state = 2001;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* from = source.Row(y * source.height / height);
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* bgr = from + 3 * (x * source.width / width);
        for (int c = 0; c < 3; ++c) {
          state = state * 1103515245u + 12345u;
          const int grain = static_cast<int>((state >> 16) % 25) - 12;
          row[3 * x + c] = static_cast<char>(std::clamp(bgr[2 - c] + grain, 0, 255));
        }
      }
      out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
  }
  const std::string file = dir / ("photo-" + std::to_string(made.size()) + ".jpg");
  RunTool("cjpeg " + cjpeg_options + " -outfile " + file + " " + base);
  return made.emplace(cjpeg_options, file).first->second;
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tessarine-engine-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void RunTool(const std::string& command, bool warnings_allowed) {
  const int status = std::system((command + (warnings_allowed ? " 2>/dev/null" : "")).c_str());
  ASSERT_TRUE(WIFEXITED(status)) << command;
  const int code = WEXITSTATUS(status);
  EXPECT_TRUE(code == 0 || (warnings_allowed && code == 2)) << command << " exited " << code;
}

namespace {
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
}  // namespace

Bmp ReadBmp(const std::string& path) {
  const std::vector<std::uint8_t> file = ReadBytes(path);
  Bmp bmp;
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return bmp;
  const std::uint32_t offset = Le32(file, 10);
  const std::uint32_t header = Le32(file, 14);
  bmp.width = static_cast<int>(Le32(file, 18));
  bmp.height = static_cast<int>(Le32(file, 22));
  bmp.bits = file[28];
  if (bmp.bits == 8) {
    std::uint32_t colours = Le32(file, 46);
    if (colours == 0) colours = 256;
    for (std::uint32_t i = 0; i < colours; ++i) {
      const std::size_t at = 14 + header + 4 * i;
      bmp.table.push_back({file[at + 2], file[at + 1], file[at]});
    }
  }
  bmp.pixels.assign(file.begin() + offset, file.end());
  return bmp;
}

const std::uint8_t* Bmp::Row(int r) const {
  const int stride = (width * bits + 31) / 32 * 4;
  return pixels.data() + static_cast<std::size_t>(height - 1 - r) * stride;
}

void WritePpm(const std::string& path, const Raster& raster) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "P6\n" << raster.Width() << ' ' << raster.Height() << "\n255\n";
  for (int y = 0; y < raster.Height(); ++y) {
    for (int x = 0; x < raster.Width(); ++x) {
      const RgbColour c = PixelAt(raster, x, y);
      out.put(static_cast<char>(c.Red))
          .put(static_cast<char>(c.Green))
          .put(static_cast<char>(c.Blue));
    }
  }
}

void FillPattern(Raster& raster, int width, int height, unsigned seed) {
  raster.SetWidth(width);
  raster.SetHeight(height);
  raster.SetFormat(rf24Bit);
  unsigned state = seed;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = raster.RowAddress(y);
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      const unsigned noise = (state >> 16) & 0x1F;
      row[3 * x] = static_cast<std::uint8_t>(x * 7 + noise);
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 5 + noise);
      row[3 * x + 2] = static_cast<std::uint8_t>((x + y) * 3 + noise);
    }
  }
}

RgbColour PixelAt(const Raster& raster, int x, int y) {
  const std::uint8_t* row = raster.RowAddress(y);
  if (raster.BitsPerPixel() == 8) return raster.ColorTable().at(row[x]);
  return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
}

std::vector<std::uint8_t> LibjpegEncode(int width, int height, int components, int in_space,
                                        int jpeg_space, int quality,
                                        const std::function<const std::uint8_t*(int)>& row) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = static_cast<J_COLOR_SPACE>(in_space);
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, static_cast<J_COLOR_SPACE>(jpeg_space));
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(row(static_cast<int>(info.next_scanline)))};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

std::vector<std::uint8_t> PatternInkJpeg(int width, int height, int jpeg_space) {
  std::vector<JSAMPLE> row(4 * static_cast<std::size_t>(width));
  return LibjpegEncode(width, height, 4, JCS_CMYK, jpeg_space, 85, [&](int y) {
    for (int x = 0; x < width; ++x) {
      row[4 * x] = static_cast<JSAMPLE>(x * 5);
      row[4 * x + 1] = static_cast<JSAMPLE>(y * 3);
      row[4 * x + 2] = static_cast<JSAMPLE>((x + y) * 2);
      row[4 * x + 3] = static_cast<JSAMPLE>((x * y) % 97 + 128);
    }
    return row.data();
  });
}

std::vector<std::uint8_t> SolidJpeg(int components, int in_space, int jpeg_space,
                                    const std::vector<std::uint8_t>& samples) {
  std::vector<JSAMPLE> row(16 * static_cast<std::size_t>(components));
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = samples[i % samples.size()];
  return LibjpegEncode(16, 16, components, in_space, jpeg_space, 75,
                       [&](int) { return row.data(); });
}
