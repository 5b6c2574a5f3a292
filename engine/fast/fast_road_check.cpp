// The fast road's check at first use: small pictures, one in each layout the fast road
// treats on its own, made here by the library's encoder from a fixed pattern, drawn through
// both roads at a few sizes, on one thread and cut between two.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "engine/fast/fast_road.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"
#include "engine/large_pages.h"

namespace {

struct CheckPicture {
  const char* name;
  int width, height;
  J_COLOR_SPACE space;  // JCS_YCbCr, JCS_GRAYSCALE or JCS_CMYK
  int luma_h, luma_v;   // sampling of the first component; the others 1 x 1
  int chroma_v = 1;     // sampling of the second and third components, down
  bool progressive = false;
  unsigned restart_interval = 0;
};

constexpr CheckPicture kPictures[] = {
    {"4:4:4", 45, 37, JCS_YCbCr, 1, 1},
    {"4:2:2", 45, 37, JCS_YCbCr, 2, 1},
    {"4:2:0", 45, 37, JCS_YCbCr, 2, 2},
    {"4:4:0", 45, 37, JCS_YCbCr, 1, 2},
    {"4:1:1", 45, 37, JCS_YCbCr, 4, 1},
    {"4:2:0 four pixels wide", 4, 37, JCS_YCbCr, 2, 2},
    {"luma 2x2, chroma 1x2", 45, 37, JCS_YCbCr, 2, 2, 2},
    {"4:2:0 progressive", 45, 37, JCS_YCbCr, 2, 2, 1, true},
    {"4:2:0 restart markers", 45, 37, JCS_YCbCr, 2, 2, 1, false, 1},
    {"grey", 45, 37, JCS_GRAYSCALE, 1, 1},
    {"Adobe CMYK", 45, 37, JCS_CMYK, 1, 1},
};

// Samples that vary smoothly and with grain, `components` to a pixel, rows from the top.
std::vector<JSAMPLE> Pattern(const CheckPicture& p, int components) {
  std::vector<JSAMPLE> samples(static_cast<std::size_t>(p.width) * p.height * components);
  unsigned state = 20261208;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      for (int c = 0; c < components; ++c) {
        state = state * 1103515245u + 12345u;
        const int grain = static_cast<int>((state >> 16) % 31) - 15;
        const int value = (x * (5 + 3 * c) + y * (7 - 2 * c) + 40 * c) % 256 + grain;
        samples[(static_cast<std::size_t>(y) * p.width + x) * components + c] =
            static_cast<JSAMPLE>(std::clamp(value, 0, 255));
      }
    }
  }
  return samples;
}

// Holds only plain values and references: the library's longjmp skips it.
void EncodeWith(Compressor& jpeg, const CheckPicture& p, const JSAMPLE* samples, ByteStore& out) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_compress_struct& info = jpeg.info;
  jpeg_create_compress(&info);
  AttachDestination(jpeg, out);
  const int components = p.space == JCS_GRAYSCALE ? 1 : p.space == JCS_CMYK ? 4 : 3;
  info.image_width = static_cast<JDIMENSION>(p.width);
  info.image_height = static_cast<JDIMENSION>(p.height);
  info.input_components = components;
  info.in_color_space = p.space == JCS_YCbCr ? JCS_RGB : p.space;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, p.space);
  jpeg_set_quality(&info, 85, TRUE);
  info.comp_info[0].h_samp_factor = p.luma_h;
  info.comp_info[0].v_samp_factor = p.luma_v;
  for (int c = 1; c < components; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = p.space == JCS_YCbCr ? p.chroma_v : 1;
  }
  if (p.progressive) jpeg_simple_progression(&info);
  info.restart_interval = p.restart_interval;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples + static_cast<std::size_t>(info.next_scanline) *
                                                      p.width * components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
}

ByteStore Encode(const CheckPicture& p) {
  const int components = p.space == JCS_GRAYSCALE ? 1 : p.space == JCS_CMYK ? 4 : 3;
  const std::vector<JSAMPLE> samples = Pattern(p, components);
  ByteStore out;
  Compressor jpeg;
  EncodeWith(jpeg, p, samples.data(), out);
  return out;
}

// A white 24-bit raster of w x h.
void MakeTarget(Raster& raster, int w, int h) {
  raster.SetWidth(w);
  raster.SetHeight(h);
  raster.SetFormat(rf24Bit);
}

bool SameRows(const Raster& a, const Raster& b) {
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.RowAddress(y), b.RowAddress(y), 3 * static_cast<std::size_t>(a.Width())))
      return false;
  return true;
}

}  // namespace

std::vector<std::string> FastRoadCheck() {
  std::vector<std::string> differences;
  JpegSettings settings;
  settings.OutputFormat = rf24Bit;
  EngineOptions one_thread;
  one_thread.Threads = false;
  one_thread.Split = SplitDecoding::kNever;
  EngineOptions cut;
  cut.Split = SplitDecoding::kAlways;
  try {
    for (const CheckPicture& p : kPictures) {
      const ByteStore bytes = Encode(p);
      Raster full;
      DecodeJpeg(bytes, settings, full);
      for (const auto& [w, h] : {std::pair{(p.width + 2) / 3, (p.height + 2) / 3},
                                 std::pair{std::min(p.width, 7), 5}}) {
        const Rect rect{0, 0, w, h};
        Raster plain;
        MakeTarget(plain, w, h);
        StretchDraw(plain, rect, full);
        for (const EngineOptions& options : {one_thread, cut}) {
          Raster fast;
          MakeTarget(fast, w, h);
          FastDraw draw;
          DrawReport report;
          DrawJpegFast(bytes, settings, PlanStretch(rect, w, h, p.width, p.height), fast, options,
                       draw, report);
          if (!SameRows(plain, fast)) {
            differences.push_back(std::string(p.name) + " at " + std::to_string(w) + "x" +
                                  std::to_string(h) +
                                  (options.Threads ? ", cut in two" : ", one thread"));
          }
        }
      }
    }
  } catch (const std::exception& e) {
    differences.push_back(std::string("an error: ") + e.what());
  }
  return differences;
}
