#include "engine/fast/block_filter.h"

#include <algorithm>
#include <cstring>

#include "engine/fast/idct_rows.h"
#include "engine/fast/stream_rows.h"
#include "engine/fast/upsampling.h"

namespace {

void FilteredIdct(j_decompress_ptr info, jpeg_component_info* comp, JCOEFPTR coefficients,
                  JSAMPARRAY output, JDIMENSION output_col) {
  BlockFilter& f = *static_cast<BlockFilter*>(info->client_data);
  const int c = comp->component_index;
  const auto size = static_cast<JDIMENSION>(comp->DCT_scaled_size);
  const JDIMENSION col = output_col / size;
  if (info->output_iMCU_row != f.imcu[c] || f.last_col[c] == ~JDIMENSION{0}) {
    f.imcu[c] = info->output_iMCU_row;
    f.row_in_imcu[c] = 0;
    // The first block of an iMCU row: `output` is its first block row.
    if (f.by_rows[c]) {
      f.zeroed[c].Ensure(output, static_cast<JDIMENSION>(comp->v_samp_factor) * size,
                         comp->width_in_blocks * size);
    }
  } else if (f.interleaved) {
    const auto width = static_cast<JDIMENSION>(comp->MCU_width);
    if (col / width != f.last_col[c] / width) f.row_in_imcu[c] = 0;
    else if (col <= f.last_col[c]) ++f.row_in_imcu[c];
  } else if (col <= f.last_col[c]) {
    ++f.row_in_imcu[c];
  }
  f.last_col[c] = col;
  const JDIMENSION row = f.imcu[c] * static_cast<JDIMENSION>(comp->v_samp_factor) +
                         static_cast<JDIMENSION>(f.row_in_imcu[c]);
  // A block outside the picture's block grid would mean the order is not as counted: it
  // goes through the library's IDCT like every kept one.
  const bool outside = row >= comp->height_in_blocks || col >= comp->width_in_blocks;
  const bool kept = outside || (f.rows[c][row] && f.cols[c][col]);
  if (kept && !outside && f.by_rows[c] && RowsPay(f.rows[c][row])) {
    IdctRows(static_cast<const float*>(comp->dct_table), coefficients, output, output_col,
             f.rows[c][row]);
    return;
  }
  if (kept) {
    f.idct[c](info, comp, coefficients, output, output_col);
    return;
  }
  ++*f.skipped;
  // Where the buffer's rows are zeroed once, a block left out keeps what its place held.
  if (f.by_rows[c]) return;
  for (JDIMENSION y = 0; y < size; ++y) std::memset(output[y] + output_col, 0, size);
}

// Marks, along one axis, the samples the picks at `picks` (picture coordinates) depend on,
// by block; `ratio` is how many picture pixels share one sample of the component along that
// axis. Smooth 2:1 upsampling blends each sample with its neighbour on the side the pixel
// lies (the one before for even pixels, after for odd ones); at the picture's edges the
// library blends the sample with itself, so a neighbour past the blocks is not marked.
void MarkAxis(const int* picks, std::size_t count, int ratio, bool smooth, JDIMENSION blocks,
              std::uint8_t* marks) {
  std::memset(marks, 0, blocks);
  const int last = static_cast<int>(blocks) - 1;
  const auto mark = [marks, last](int sample) {
    const int block = sample / DCTSIZE;
    if (sample >= 0 && block <= last)
      marks[block] |= static_cast<std::uint8_t>(1u << sample % DCTSIZE);
  };
  for (std::size_t i = 0; i < count; ++i) {
    const int sample = picks[i] / ratio;
    mark(std::min(sample, DCTSIZE * static_cast<int>(blocks) - 1));
    if (smooth) mark(picks[i] % 2 == 0 ? sample - 1 : sample + 1);
  }
}

std::uint8_t* Marks(jpeg_decompress_struct& info, JDIMENSION blocks) {
  return static_cast<std::uint8_t*>(
      info.mem->alloc_small(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, blocks));
}

// Whether IdctRows gives what the library's transform of component `c` gives. Components
// with the same transform and the same multiplier table (Cb and Cr, mostly) are checked once.
bool RowsMatch(jpeg_decompress_struct& info, const BlockFilter& f, int c) {
  jpeg_component_info& comp = info.comp_info[c];
  for (int earlier = 0; earlier < c; ++earlier) {
    const jpeg_component_info& other = info.comp_info[earlier];
    if (f.idct[earlier] == f.idct[c] && other.dct_table != nullptr && comp.dct_table != nullptr &&
        std::memcmp(other.dct_table, comp.dct_table, DCTSIZE2 * sizeof(float)) == 0)
      return f.by_rows[earlier];
  }
  return IdctRowsMatch(&info, &comp, f.idct[c]);
}

}  // namespace

bool FilterApplies(const jpeg_decompress_struct& info, const Job& job) {
  if (info.quantize_colors || job.row_count == 0 || job.col_count == 0 || !UpsamplingKnown(info))
    return false;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& comp = info.comp_info[c];
    if (comp.DCT_scaled_size != DCTSIZE || info.max_h_samp_factor % comp.h_samp_factor != 0 ||
        info.max_v_samp_factor % comp.v_samp_factor != 0)
      return false;
  }
  return true;
}

void MarkKept(const jpeg_decompress_struct& info, const Job& job, int c, std::uint8_t* rows,
              std::uint8_t* cols) {
  const jpeg_component_info& comp = info.comp_info[c];
  const Upsampling u = ComponentUpsampling(info, c);
  MarkAxis(job.cols, job.col_count, info.max_h_samp_factor / comp.h_samp_factor,
           u == Upsampling::kSmoothH2V1 || u == Upsampling::kSmoothH2V2, comp.width_in_blocks,
           cols);
  MarkAxis(job.rows, job.row_count, info.max_v_samp_factor / comp.v_samp_factor,
           u == Upsampling::kSmoothH1V2 || u == Upsampling::kSmoothH2V2, comp.height_in_blocks,
           rows);
}

bool FilterBlocks(jpeg_decompress_struct& info, const Job& job, BlockFilter& f) {
  if (!FilterApplies(info, job)) return false;
  f.interleaved = !jpeg_has_multiple_scans(&info) && info.num_components > 1;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& comp = info.comp_info[c];
    std::uint8_t* rows = Marks(info, comp.height_in_blocks);
    std::uint8_t* cols = Marks(info, comp.width_in_blocks);
    MarkKept(info, job, c, rows, cols);
    f.rows[c] = rows;
    f.cols[c] = cols;
    f.last_col[c] = ~JDIMENSION{0};
    f.idct[c] = info.idct->inverse_DCT[c];
    f.by_rows[c] = info.dct_method == JDCT_FLOAT && RowsMatch(info, f, c);
    f.zeroed[c].Forget();
  }
  info.client_data = &f;
  for (int c = 0; c < info.num_components; ++c) info.idct->inverse_DCT[c] = FilteredIdct;
  return true;
}

BlockFilter* FilterInPlace(const jpeg_decompress_struct& info) {
  return info.idct != nullptr && info.idct->inverse_DCT[0] == FilteredIdct
             ? static_cast<BlockFilter*>(info.client_data)
             : nullptr;
}

McuBlocksKept BlocksKept(jpeg_decompress_struct& info, const BlockFilter& f) {
  static_assert(D_MAX_BLOCKS_IN_MCU <= 16, "one bit a block in 16-bit masks");
  if (!f.interleaved || f.cols[0] == nullptr || info.comps_in_scan != info.num_components)
    return {};
  const auto masks = [&info](JDIMENSION count) {
    auto* m = static_cast<std::uint16_t*>(info.mem->alloc_small(
        reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, count * sizeof(std::uint16_t)));
    std::fill(m, m + count, std::uint16_t{0});
    return m;
  };
  std::uint16_t* cols = masks(info.MCUs_per_row);
  std::uint16_t* rows = masks(info.total_iMCU_rows);  // an MCU row is an iMCU row here
  // Block b of an MCU is the k-th of its component there, at (k mod MCU_width,
  // k div MCU_width) in the component's MCU; kept where its row and column are marked, as
  // FilteredIdct decides. Blocks past the component's last block are never transformed.
  int k_of[D_MAX_BLOCKS_IN_MCU] = {};
  int seen[MAX_COMPS_IN_SCAN] = {};
  for (int b = 0; b < info.blocks_in_MCU; ++b) k_of[b] = seen[info.MCU_membership[b]]++;
  for (int b = 0; b < info.blocks_in_MCU; ++b) {
    const jpeg_component_info& comp = *info.cur_comp_info[info.MCU_membership[b]];
    const int c = comp.component_index;
    const auto xi = static_cast<JDIMENSION>(k_of[b] % comp.MCU_width);
    const auto yi = static_cast<JDIMENSION>(k_of[b] / comp.MCU_width);
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << b);
    for (JDIMENSION x = 0; x < info.MCUs_per_row; ++x) {
      const JDIMENSION col = x * static_cast<JDIMENSION>(comp.MCU_width) + xi;
      if (col < comp.width_in_blocks && f.cols[c][col]) cols[x] |= bit;
    }
    for (JDIMENSION y = 0; y < info.total_iMCU_rows; ++y) {
      const JDIMENSION row = y * static_cast<JDIMENSION>(comp.MCU_height) + yi;
      if (row < comp.height_in_blocks && f.rows[c][row]) rows[y] |= bit;
    }
  }
  return {cols, rows};
}

double LumaShareKept(const jpeg_decompress_struct& info, const BlockFilter& f) {
  if (f.rows[0] == nullptr) return 1;
  const jpeg_component_info& luma = info.comp_info[0];
  const auto share = [](const std::uint8_t* marks, JDIMENSION n) {
    return static_cast<double>(n - std::count(marks, marks + n, 0)) / n;
  };
  return share(f.rows[0], luma.height_in_blocks) * share(f.cols[0], luma.width_in_blocks);
}
