#pragma once
// Grey pictures on the fast road: every row is decoded (the dither carries its error from
// pixel to pixel and row to row), dithered by the engine's copy of the library's one-pass
// rule (grey_dither.h), and the picks copied into the target. On more than one core a
// worker thread dithers while the decoder reads on, keeping the rules of threads.h.
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "engine/fast/grey_dither.h"
#include "engine/fast/stream_rows.h"
#include "engine/fast/threads.h"

// The hand-over between the decoder and the worker. It lives in a frame outside the one
// that set the library's jump, after the library object: a longjmp out of the library then
// leaves it whole, and the exception that follows destroys it (closing the queue and
// joining the worker) before the library object and its pool go.
class DitherPipe {
 public:
  static constexpr int kBatch = 16;         // rows handed over at a time
  static constexpr int kRing = 4 * kBatch;  // rows in flight between the two threads

  DitherPipe() : queue_(kRing) {}
  ~DitherPipe() { Finish(); }
  DitherPipe(const DitherPipe&) = delete;
  DitherPipe& operator=(const DitherPipe&) = delete;

  // Before the first row: rows below `needed` go through the dither; `ring` holds kRing
  // rows of `width` samples from the library's pool. With `worker`, a helper thread
  // dithers where one can start; else the decoding thread does after every row.
  void Start(const Job& job, GreyDither& dither, JSAMPARRAY ring, int width, int needed,
             bool worker);
  bool Wanted(int row) const { return row < needed_; }
  // The ring row for `row`, once the worker is done with the row that used it before.
  JSAMPROW Slot(int row);
  // `row` is decoded into its slot.
  void Publish(int row);
  // Returns once every published row is dithered and placed; the worker has ended.
  void Finish();

  // The dither's part: rows in order, dithered in place and the picks copied. Copied into
  // the worker's task, or run by the decoding thread.
  struct alignas(kCacheLine) Rows {
    Job job;
    GreyDither* dither = nullptr;
    JSAMPARRAY ring = nullptr;
    int width = 0;
    std::size_t next_pick = 0;  // next destination row to fill
    void Place(int row);
    void Work(RowQueue& queue);
  };

 private:
  RowQueue queue_;
  Rows rows_;
  int needed_ = 0;
  bool threaded_ = false;
  ForkJoin worker_;  // last: joined before the rest goes
};

// Decodes every row of a started grey picture through the pipe and finishes it; the pipe's
// dither has its levels and a zeroed error row of output_width + 2 entries.
void StreamGrey(jpeg_decompress_struct& info, const Job& job, GreyDither& dither,
                JSAMPARRAY scratch, RowCounts& counts, DitherPipe& pipe, bool worker);
