#include "engine/fast/dither_pipe.h"

#include <cstring>

void DitherPipe::Rows::Place(int row) {
  JSAMPROW from = ring[row % kRing];
  DitherRow(*dither, from, width);
  for (std::size_t& j = next_pick; j < job.row_count && job.rows[j] == row;) {
    std::uint8_t* const first = job.target_rows[j];
    CopyPicks(job, RowKind::kGreyLevels, from, first);
    for (++j; j < job.row_count && job.rows[j] == row; ++j)
      std::memcpy(job.target_rows[j], first, 3 * job.col_count);
  }
}

void DitherPipe::Rows::Work(RowQueue& queue) {
  for (std::size_t row = 0;;) {
    const std::size_t end = queue.WaitForItems(row);
    if (end <= row) return;  // closed
    for (; row < end; ++row) Place(static_cast<int>(row));
    queue.Release(end);
  }
}

void DitherPipe::Start(const Job& job, GreyDither& dither, JSAMPARRAY ring, int width,
                       int needed, bool worker) {
  rows_ = Rows{job, &dither, ring, width};
  needed_ = needed;
  if (needed_ == 0 || !worker) return;
  threaded_ = worker_.Fork([rows = rows_, queue = &queue_]() mutable { rows.Work(*queue); });
}

JSAMPROW DitherPipe::Slot(int row) {
  if (threaded_) queue_.WaitForRoom(static_cast<std::size_t>(row));
  return rows_.ring[row % kRing];
}

void DitherPipe::Publish(int row) {
  if (!threaded_) {
    rows_.Place(row);
  } else if ((row + 1) % kBatch == 0 || row + 1 == needed_) {
    queue_.Publish(static_cast<std::size_t>(row) + 1);
  }
}

void DitherPipe::Finish() {
  queue_.Close();
  worker_.Join();
}

void StreamGrey(jpeg_decompress_struct& info, const Job& job, GreyDither& dither,
                JSAMPARRAY scratch, RowCounts& counts, DitherPipe& pipe, bool worker) {
  JSAMPARRAY ring = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                           info.output_width, DitherPipe::kRing);
  pipe.Start(job, dither, ring, static_cast<int>(info.output_width),
             job.row_count == 0 ? 0 : job.rows[job.row_count - 1] + 1, worker);
  while (info.output_scanline < info.output_height) {
    const int row = static_cast<int>(info.output_scanline);
    JSAMPROW to = pipe.Wanted(row) ? pipe.Slot(row) : scratch[0];
    jpeg_read_scanlines(&info, &to, 1);
    ++counts.Read;
    if (pipe.Wanted(row)) pipe.Publish(row);
  }
  pipe.Finish();
}
