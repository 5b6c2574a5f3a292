#include "engine/fast/upsampling.h"

#include <array>
#include <vector>

#include <jpegint.h>  // struct jpeg_upsampler: whether the library asked for context rows

namespace {

// Sampling factors (h, v) of each component.
using Layout = std::vector<std::array<int, 2>>;

// The layouts whose skipped rows the streamed-draw tests prove exact, sequential and
// progressive, wherever SkipIsExact's rule about row groups holds too.
const std::array<Layout, 6>& ExactSkipLayouts() {
  static const std::array<Layout, 6> layouts = {
      Layout{{1, 1}, {1, 1}, {1, 1}},          // 4:4:4
      Layout{{2, 1}, {1, 1}, {1, 1}},          // 4:2:2
      Layout{{2, 2}, {1, 1}, {1, 1}},          // 4:2:0
      Layout{{1, 2}, {1, 1}, {1, 1}},          // 4:4:0
      Layout{{4, 1}, {1, 1}, {1, 1}},          // 4:1:1
      Layout{{1, 1}, {1, 1}, {1, 1}, {1, 1}},  // CMYK, YCCK
  };
  return layouts;
}

bool ProvenLayout(const jpeg_decompress_struct& info) {
  for (const Layout& layout : ExactSkipLayouts()) {
    if (static_cast<int>(layout.size()) != info.num_components) continue;
    bool same = true;
    for (int c = 0; c < info.num_components; ++c) {
      same = same && info.comp_info[c].h_samp_factor == layout[c][0] &&
             info.comp_info[c].v_samp_factor == layout[c][1];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

Upsampling ComponentUpsampling(const jpeg_decompress_struct& info, int component) {
  const jpeg_component_info& comp = info.comp_info[component];
  if (!comp.component_needed) return Upsampling::kNone;
  if (info.min_DCT_scaled_size != DCTSIZE || comp.DCT_scaled_size != DCTSIZE)
    return Upsampling::kUnknown;
  const bool smooth = info.do_fancy_upsampling;
  const int h = comp.h_samp_factor, v = comp.v_samp_factor;
  const int max_h = info.max_h_samp_factor, max_v = info.max_v_samp_factor;
  const bool wide = comp.downsampled_width > 2;
  if (h == max_h && v == max_v) return Upsampling::kFullSize;
  if (2 * h == max_h && v == max_v)
    return smooth && wide ? Upsampling::kSmoothH2V1 : Upsampling::kRepeatH2V1;
  if (h == max_h && 2 * v == max_v && smooth) return Upsampling::kSmoothH1V2;
  if (2 * h == max_h && 2 * v == max_v)
    return smooth && wide ? Upsampling::kSmoothH2V2 : Upsampling::kRepeatH2V2;
  if (max_h % h == 0 && max_v % v == 0) return Upsampling::kRepeat;
  return Upsampling::kUnknown;
}

bool UpsamplingKnown(const jpeg_decompress_struct& info) {
  if (!info.do_fancy_upsampling || info.CCIR601_sampling || info.upsample == nullptr)
    return false;
  bool context = false;
  for (int c = 0; c < info.num_components; ++c) {
    const Upsampling u = ComponentUpsampling(info, c);
    if (u == Upsampling::kUnknown) return false;
    context = context || u == Upsampling::kSmoothH1V2 || u == Upsampling::kSmoothH2V2;
  }
  return context == static_cast<bool>(info.upsample->need_context_rows);
}

bool SkipIsExact(const jpeg_decompress_struct& info) {
  if (info.quantize_colors || !UpsamplingKnown(info)) return false;
  if (!info.upsample->need_context_rows && info.max_v_samp_factor != 1) return false;
  return ProvenLayout(info);
}
