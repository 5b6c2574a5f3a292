#include "engine/fast/stream_rows.h"

#include <algorithm>
#include <cstring>

#include "engine/jpeg_codec.h"

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

JSAMPARRAY ScratchRow(jpeg_decompress_struct& info) {
  return info.mem->alloc_sarray(
      reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
      info.output_width * static_cast<JDIMENSION>(info.out_color_components) + 1, 1);
}

void ReadRow(jpeg_decompress_struct& info, JSAMPARRAY scratch, RowCounts& counts) {
  jpeg_read_scanlines(&info, scratch, 1);
  ++counts.Read;
}

namespace {

// Brings the library to source row `row` (at or after its current one).
void AdvanceTo(jpeg_decompress_struct& info, JDIMENSION row, bool skip, JSAMPARRAY scratch,
               RowCounts& counts) {
  if (row <= info.output_scanline) return;
  if (skip) {
    counts.Skipped += static_cast<int>(jpeg_skip_scanlines(&info, row - info.output_scanline));
    return;
  }
  while (info.output_scanline < row) ReadRow(info, scratch, counts);
}

}  // namespace

void DrawPicks(jpeg_decompress_struct& info, const Job& job, RowKind kind, bool skip,
               JSAMPARRAY scratch, RowCounts& counts, int from, int to) {
  std::size_t j = static_cast<std::size_t>(
      std::lower_bound(job.rows, job.rows + job.row_count, from) - job.rows);
  while (j < job.row_count && job.rows[j] < to) {
    AdvanceTo(info, static_cast<JDIMENSION>(job.rows[j]), skip, scratch, counts);
    ReadRow(info, scratch, counts);
    std::uint8_t* const first = job.target_rows[j];
    CopyPicks(job, kind, scratch[0], first);
    for (++j; j < job.row_count && job.rows[j] == job.rows[j - 1]; ++j)
      std::memcpy(job.target_rows[j], first, 3 * job.col_count);
  }
}

// Only the last row is read, never skipped: a skip to the end would stop reading the data.
void ReadToEnd(jpeg_decompress_struct& info, bool skip, JSAMPARRAY scratch, RowCounts& counts) {
  if (info.output_height > 0) AdvanceTo(info, info.output_height - 1, skip, scratch, counts);
  while (info.output_scanline < info.output_height) ReadRow(info, scratch, counts);
  jpeg_finish_decompress(&info);
}
