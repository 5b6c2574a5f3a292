#pragma once
// Large sequential colour pictures drawn by two threads: the calling thread decodes the
// upper rows, a helper thread with its own library object skips to the cut and decodes the
// lower ones. The helper pays the entropy decoding of the rows above the cut a second time
// (unless an entropy index lets it start at the cut), so the cut is placed where the two
// finish together. threads.h gives the rules the helper keeps.
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <span>

#include <jpeglib.h>

#include "engine/engine_options.h"
#include "engine/fast/block_filter.h"
#include "engine/fast/stream_rows.h"
#include "engine/fast/threads.h"
#include "engine/jpeg_image.h"

// Pictures below this many pixels are never cut or indexed on their own account: a second
// thread costs more than it saves.
inline constexpr double kLeastPixelsForHelpers = 2e6;

// True when an entropy index built by two threads pays: a large picture of which at most
// four iMCU rows in five hold picks, so that the rows in between then cost nothing where the
// library would decode each one to pass over it. Denser picks gain nothing measurable over
// the cut.
bool IndexPays(const jpeg_decompress_struct& info, const Job& job, const EngineOptions& options);

// Where a sequential colour picture is best cut, as a whole number of iMCU rows; 0 for no
// cut. `indexed`: the helper starts at the cut at once; `filter` is the block filter in
// place on the calling thread, if any.
int SplitRow(const jpeg_decompress_struct& info, const Job& job, const EngineOptions& options,
             bool indexed, const BlockFilter* filter);

// Where an index's second reader starts beside a decoder that reads in order and draws as
// it goes (EntropyIndex::StartSecondReader), as a share of the data, `data_bytes` long: about
// where the decoder is when the second reader reaches the end. `filter` is the block filter
// in place, if any.
double SecondReaderShare(const jpeg_decompress_struct& info, const BlockFilter* filter,
                         std::size_t data_bytes);

// Once such an index is joined, with the calling thread at source row `from` (the first row
// of an iMCU row): where the rows left are cut between it and a helper that starts at the
// cut, so that both finish together. An iMCU row costs the bits of its data where a pick
// falls in it, else nothing. `info.output_height` (no cut) where fewer than two iMCU rows
// are left.
int CutOfTheRest(const jpeg_decompress_struct& info, const Job& job, const EntropyIndex& index,
                 int from);

// The helper's part of a split draw.
class SplitDraw {
 public:
  SplitDraw() = default;
  SplitDraw(const SplitDraw&) = delete;
  SplitDraw& operator=(const SplitDraw&) = delete;

  // Starts the helper on the rows from `cut` to the end, with its own library object;
  // false when no thread can start.
  bool Start(std::span<const std::uint8_t> bytes, const JpegSettings& settings, const Job& job,
             int cut);
  bool Started() const { return helper_.Forked(); }
  // Waits for the helper; true when it drew its part without an error or a warning.
  bool Join() { return helper_.Join(); }
  // The helper's counts, once joined.
  const RowCounts& Counts() const { return part_.counts; }

 private:
  struct alignas(kCacheLine) Part {  // the helper's own, read after the join
    BlockFilter filter;
    RowCounts counts;
  };
  Part part_;
  ForkJoin helper_;  // last: joined before the part goes
};
