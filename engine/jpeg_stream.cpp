#include "engine/jpeg_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "engine/jpeg_codec.h"
#include "engine/grey_dither.h"
#include "engine/jpeg_glue.h"

namespace {

bool streamed_drawing = true;
StreamedRows last_rows;

// Sampling factors (h, v) of each component.
using Layout = std::vector<std::array<int, 2>>;

// The layouts whose skipped rows leave the kept rows byte for byte as a full read gives
// them with libjpeg-turbo 2.1.5 (the streamed-draw tests prove each one, sequential and
// progressive). Not among them: luma 2x2 with chroma 1x2 and 4:1:0, which change pixels.
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

// Quantized output never skips: the one-pass dither carries its error from row to row, and
// the library refuses to skip under two-pass quantization (error 47).
bool SkipIsExact(const jpeg_decompress_struct& info) {
  if (info.quantize_colors) return false;
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

// Everything the row loop needs, prepared in C++ before the library runs: plain pointers.
struct Job {
  const int* cols = nullptr;  // source column of each visible destination column
  std::size_t col_count = 0;
  const int* rows = nullptr;  // source row of each visible destination row
  std::uint8_t* const* target_rows = nullptr;  // destination rows, already offset by X0
  std::size_t row_count = 0;
  std::array<std::uint8_t, 3 * 256>* bgr_table = nullptr;  // filled for colour-mapped rows
  GreyDither* dither = nullptr;
};

// How the decoded rows arrive in the scratch row.
enum class RowKind { kBgr, kCmyk, kIndexed, kGreyLevels };

// Copies the picked pixels of one decoded row into one destination row.
void CopyPicks(const Job& job, RowKind kind, const JSAMPLE* from, std::uint8_t* to) {
  const int* col = job.cols;
  const int* const end = job.cols + job.col_count;
  switch (kind) {
    case RowKind::kIndexed: {
      const std::uint8_t* table = job.bgr_table->data();
      for (; col != end; ++col, to += 3) std::memcpy(to, table + 3 * from[*col], 3);
      break;
    }
    case RowKind::kGreyLevels:
      for (; col != end; ++col, to += 3) to[0] = to[1] = to[2] = from[*col];
      break;
    case RowKind::kCmyk:
      for (; col != end; ++col, to += 3) InvertedCmykPixelToBgr(from + 4 * *col, to);
      break;
    case RowKind::kBgr: {
      if (col == end) break;
      // Four bytes at a time (the scratch row has room past its end); the fourth byte is
      // overwritten by the next pixel, and the last pixel must not touch the next row.
      for (const int* const last = end - 1; col != last; ++col, to += 3)
        std::memcpy(to, from + 3 * *col, 4);
      std::memcpy(to, from + 3 * *col, 3);
      break;
    }
  }
}

// One row into the scratch row, dithered when this draw dithers itself.
void ReadRow(jpeg_decompress_struct& info, JSAMPARRAY scratch, GreyDither* dither,
             StreamedRows& rows) {
  jpeg_read_scanlines(&info, scratch, 1);
  ++rows.Read;
  if (dither != nullptr) DitherRow(*dither, scratch[0], static_cast<int>(info.output_width));
}

// Brings the library to source row `row` (at or after its current one).
void AdvanceTo(jpeg_decompress_struct& info, JDIMENSION row, bool skip, JSAMPARRAY scratch,
               GreyDither* dither, StreamedRows& rows) {
  if (row <= info.output_scanline) return;
  if (skip) {
    rows.Skipped += static_cast<int>(jpeg_skip_scanlines(&info, row - info.output_scanline));
    return;
  }
  while (info.output_scanline < row) ReadRow(info, scratch, dither, rows);
}

void StreamWith(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, StreamedDraw& draw,
                StreamedRows& rows) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  jpeg_create_decompress(&info);
  AttachSource(jpeg, bytes);
  jpeg_read_header(&info, TRUE);
  const DecodeOutput output = SetDecodeParameters(info, settings);
  // Grey output dithered by the library's rule is dithered here instead (DitherRow).
  const bool own_dither = info.quantize_colors && info.out_color_space == JCS_GRAYSCALE &&
                          info.dither_mode == JDITHER_FS && info.desired_number_of_colors >= 2 &&
                          info.desired_number_of_colors <= 256;
  GreyDither* const dither = own_dither ? job.dither : nullptr;
  if (dither != nullptr) {
    MakeGreyLevels(info.desired_number_of_colors, *dither);
    info.quantize_colors = FALSE;
  }
  jpeg_start_decompress(&info);
  draw.Started = true;
  draw.Width = static_cast<int>(info.output_width);
  draw.Height = static_cast<int>(info.output_height);
  draw.HasTable = dither != nullptr || (info.quantize_colors && info.colormap != nullptr);
  RowKind kind = output.Cmyk ? RowKind::kCmyk : RowKind::kBgr;
  if (dither != nullptr) {
    kind = RowKind::kGreyLevels;
    const std::size_t error_bytes = (info.output_width + 2) * sizeof(std::int16_t);
    dither->errors = static_cast<std::int16_t*>(
        info.mem->alloc_large(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, error_bytes));
    std::memset(dither->errors, 0, error_bytes);
  } else if (draw.HasTable) {  // indices past the map's end read black, as in the stretch
    kind = RowKind::kIndexed;
    job.bgr_table->fill(0);
    const int grey = info.out_color_components == 1;
    for (int i = 0; i < info.actual_number_of_colors; ++i) {
      (*job.bgr_table)[3 * i] = info.colormap[grey ? 0 : 2][i];
      (*job.bgr_table)[3 * i + 1] = info.colormap[grey ? 0 : 1][i];
      (*job.bgr_table)[3 * i + 2] = info.colormap[0][i];
    }
  }
  JSAMPARRAY scratch = info.mem->alloc_sarray(
      reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
      info.output_width * static_cast<JDIMENSION>(info.out_color_components) + 1, 1);
  const bool skip = dither == nullptr && SkipIsExact(info);

  for (std::size_t j = 0; j < job.row_count;) {
    AdvanceTo(info, static_cast<JDIMENSION>(job.rows[j]), skip, scratch, dither, rows);
    ReadRow(info, scratch, dither, rows);
    std::uint8_t* const first = job.target_rows[j];
    CopyPicks(job, kind, scratch[0], first);
    for (++j; j < job.row_count && job.rows[j] == job.rows[j - 1]; ++j)
      std::memcpy(job.target_rows[j], first, 3 * job.col_count);
  }
  // The rest of the picture is still decoded, so that damaged data and the markers after
  // the last scan raise what they raise on the plain road; only the last row is read, never
  // skipped, since a skip to the end would stop reading the data.
  if (info.output_height > 0)
    AdvanceTo(info, info.output_height - 1, skip, scratch, dither, rows);
  while (info.output_scanline < info.output_height) ReadRow(info, scratch, dither, rows);
  jpeg_finish_decompress(&info);
}

}  // namespace

void SetStreamedDrawing(bool on) {
  streamed_drawing = on;
}
bool StreamedDrawing() {
  return streamed_drawing;
}

StreamedRows LastStreamedRows() {
  return last_rows;
}

void DrawJpegStreamed(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                      const StretchPlan& plan, Raster& target, StreamedDraw& draw) {
  std::vector<std::uint8_t*> target_rows;
  if (!plan.Empty()) {
    target_rows.reserve(plan.Rows.size());
    for (std::size_t j = 0; j < plan.Rows.size(); ++j)
      target_rows.push_back(target.RowAddress(plan.Y0 + static_cast<int>(j)) + 3 * plan.X0);
  }
  std::array<std::uint8_t, 3 * 256> bgr_table{};
  GreyDither dither;
  Job job;
  job.dither = &dither;
  job.cols = plan.Cols.data();
  job.col_count = plan.Empty() ? 0 : plan.Cols.size();
  job.rows = plan.Rows.data();
  job.target_rows = target_rows.data();
  job.row_count = target_rows.size();
  job.bgr_table = &bgr_table;
  last_rows = {};
  draw = {};
  Decompressor jpeg;
  StreamWith(jpeg, bytes, settings, job, draw, last_rows);
}
