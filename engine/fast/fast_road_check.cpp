// The fast road's check at the first use of each layout: small pictures of the layout, made
// by the library's encoder from a fixed pattern, drawn through both roads.
#include "engine/fast/fast_road_check.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <mutex>

#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"
#include "engine/large_pages.h"

namespace {

std::atomic<bool> road_off{false};  // a check found a difference

// One picture to check: its size and how it is encoded.
struct CheckPicture {
  int width = 45, height = 37;
  J_COLOR_SPACE space = JCS_YCbCr;  // JCS_YCbCr, JCS_GRAYSCALE or JCS_CMYK
  int sampling[3][2] = {{1, 1}, {1, 1}, {1, 1}};  // (h, v) of the first three components
  bool progressive = false;
  int Components() const { return space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3; }
};

CheckPicture PictureOf(CheckedLayout layout, bool progressive) {
  CheckPicture p;
  p.progressive = progressive;
  const auto luma = [&p](int h, int v) {
    p.sampling[0][0] = h;
    p.sampling[0][1] = v;
  };
  switch (layout) {
    case CheckedLayout::kGrey: p.space = JCS_GRAYSCALE; break;
    case CheckedLayout::k444: break;
    case CheckedLayout::k422: luma(2, 1); break;
    case CheckedLayout::k420: luma(2, 2); break;
    case CheckedLayout::k440: luma(1, 2); break;
    case CheckedLayout::k411: luma(4, 1); break;
    case CheckedLayout::kFourComponents: p.space = JCS_CMYK; break;
    case CheckedLayout::kOther:  // luma 2x2 with chroma 1x2
      luma(2, 2);
      p.sampling[1][1] = p.sampling[2][1] = 2;
      break;
  }
  return p;
}

// Samples that vary smoothly and with grain, rows from the top.
std::vector<JSAMPLE> Pattern(const CheckPicture& p) {
  const int components = p.Components();
  std::vector<JSAMPLE> samples(static_cast<std::size_t>(p.width) * p.height * components);
  unsigned state = 20261208;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const int c = static_cast<int>(i % components);
    const int x = static_cast<int>(i / components % p.width);
    const int y = static_cast<int>(i / components / p.width);
    state = state * 1103515245u + 12345u;
    const int grain = static_cast<int>((state >> 16) % 31) - 15;
    samples[i] = static_cast<JSAMPLE>(
        std::clamp((x * (5 + 3 * c) + y * (7 - 2 * c) + 40 * c) % 256 + grain, 0, 255));
  }
  return samples;
}

// Holds only plain values and references: the library's longjmp skips it.
void EncodeWith(Compressor& jpeg, const CheckPicture& p, const JSAMPLE* samples, ByteStore& out) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_compress_struct& info = jpeg.info;
  jpeg_create_compress(&info);
  AttachDestination(jpeg, out);
  info.image_width = static_cast<JDIMENSION>(p.width);
  info.image_height = static_cast<JDIMENSION>(p.height);
  info.input_components = p.Components();
  info.in_color_space = p.space == JCS_YCbCr ? JCS_RGB : p.space;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, p.space);
  jpeg_set_quality(&info, 85, TRUE);
  for (int c = 0; c < std::min(info.num_components, 3); ++c) {
    info.comp_info[c].h_samp_factor = p.sampling[c][0];
    info.comp_info[c].v_samp_factor = p.sampling[c][1];
  }
  if (p.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  const std::size_t row_samples = static_cast<std::size_t>(p.width) * p.Components();
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples + info.next_scanline * row_samples);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
}

ByteStore Encode(const CheckPicture& p) {
  const std::vector<JSAMPLE> samples = Pattern(p);
  ByteStore out;
  Compressor jpeg;
  EncodeWith(jpeg, p, samples.data(), out);
  return out;
}

void MakeTarget(Raster& raster, int w, int h) {
  raster.SetWidth(w);
  raster.SetHeight(h);
  raster.SetFormat(rf24Bit);
}

// Draws the picture both ways, picking samples a few apart (so that rows are skipped and
// blocks left out), and notes any difference.
void Compare(const char* name, const CheckPicture& p, const std::vector<EngineOptions>& roads,
             std::vector<std::string>& differences) {
  const ByteStore bytes = Encode(p);
  JpegSettings settings;
  settings.OutputFormat = rf24Bit;
  const int w = std::max(1, p.width / 9), h = std::max(1, p.height / 7);
  const Rect rect{0, 0, w, h};
  Raster full, plain;
  DecodeJpeg(bytes, settings, full);
  MakeTarget(plain, w, h);
  StretchDraw(plain, rect, full);
  for (const EngineOptions& options : roads) {
    Raster fast;
    MakeTarget(fast, w, h);
    FastDraw draw;
    DrawReport report;
    DrawFast(bytes, settings, PlanStretch(rect, w, h, p.width, p.height), fast, options, draw,
             report, false);
    for (int y = 0; y < h; ++y) {
      if (std::memcmp(plain.RowAddress(y), fast.RowAddress(y), 3 * static_cast<std::size_t>(w))) {
        differences.push_back(std::string(name) + (p.progressive ? " progressive" : "") +
                              (options.Threads ? ", helper threads" : ", one thread"));
        break;
      }
    }
  }
}

const char* NameOf(CheckedLayout layout) {
  static const char* const names[kCheckedLayouts] = {
      "grey", "4:4:4", "4:2:2", "4:2:0", "4:4:0", "4:1:1", "four components", "luma 2x2, chroma 1x2"};
  return names[static_cast<int>(layout)];
}

}  // namespace

CheckedLayout LayoutOf(const jpeg_decompress_struct& info) {
  if (info.num_components == 1) return CheckedLayout::kGrey;
  if (info.num_components == 4) return CheckedLayout::kFourComponents;
  if (info.num_components != 3) return CheckedLayout::kOther;
  for (int c = 1; c < 3; ++c) {
    if (info.comp_info[c].h_samp_factor != 1 || info.comp_info[c].v_samp_factor != 1)
      return CheckedLayout::kOther;
  }
  const int h = info.comp_info[0].h_samp_factor, v = info.comp_info[0].v_samp_factor;
  if (h == 1 && v == 1) return CheckedLayout::k444;
  if (h == 2 && v == 1) return CheckedLayout::k422;
  if (h == 2 && v == 2) return CheckedLayout::k420;
  if (h == 1 && v == 2) return CheckedLayout::k440;
  if (h == 4 && v == 1) return CheckedLayout::k411;
  return CheckedLayout::kOther;
}

std::vector<std::string> CheckLayout(CheckedLayout layout, bool progressive) {
  std::vector<std::string> differences;
  EngineOptions one_thread;
  one_thread.Threads = false;
  one_thread.Split = SplitDecoding::kNever;
  EngineOptions helpers;  // a second decoder, a second entropy reader, the dither worker
  helpers.Split = SplitDecoding::kAlways;
  try {
    // Helper threads take part only in sequential pictures and grey ones.
    std::vector<EngineOptions> roads = {one_thread};
    if (!progressive || layout == CheckedLayout::kGrey) roads.push_back(helpers);
    Compare(NameOf(layout), PictureOf(layout, progressive), roads, differences);
  } catch (const std::exception& e) {
    differences.push_back(std::string(NameOf(layout)) + ": " + e.what());
  }
  return differences;
}

bool LayoutPassesCheck(CheckedLayout layout, bool progressive) {
  static std::once_flag once[2 * kCheckedLayouts];
  const int slot = 2 * static_cast<int>(layout) + (progressive ? 1 : 0);
  std::call_once(once[slot], [&] {
    if (!CheckLayout(layout, progressive).empty()) road_off.store(true);
  });
  return !road_off.load();
}

bool FastRoadUsable() {
  return !road_off.load();
}

std::vector<std::string> FastRoadCheck() {
  std::vector<std::string> differences;
  for (int layout = 0; layout < kCheckedLayouts; ++layout) {
    for (const bool progressive : {false, true}) {
      for (std::string& d : CheckLayout(static_cast<CheckedLayout>(layout), progressive))
        differences.push_back(std::move(d));
    }
  }
  return differences;
}
