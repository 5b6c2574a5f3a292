#pragma once
// The row loop of the fast road, shared by the calling thread and the split draw's helper:
// rows come from the library one at a time, and only the pixels that the nearest-neighbour
// pick takes are copied into the 24-bit target.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "engine/jpeg_glue.h"

class EntropyIndex;

// What one draw asks of the library, counted by the thread that asks.
struct RowCounts {
  int Read = 0;     // rows decoded and converted (kept or dropped)
  int Skipped = 0;  // rows passed over with jpeg_skip_scanlines
  long long BlocksSkipped = 0;  // blocks of read rows left out of the inverse DCT
};

// Everything the row loop needs, prepared before the library runs: plain values and views of
// data that stays unchanged during the draw, so that a helper can take a copy (threads.h,
// rule 1).
struct Job {
  const int* cols = nullptr;  // source column of each visible destination column
  std::size_t col_count = 0;
  const int* rows = nullptr;  // source row of each visible destination row
  std::uint8_t* const* target_rows = nullptr;  // destination rows, already offset by X0
  std::size_t row_count = 0;
  std::array<std::uint8_t, 3 * 256>* bgr_table = nullptr;  // filled for colour-mapped rows
  const EntropyIndex* index = nullptr;
  SourceFeed feed = SourceFeed::kWhole;  // FeedFor the picture's bytes
  bool own_entropy = true;  // the engine's entropy decoder where the picture allows it
};

// How the decoded rows arrive in the scratch row.
enum class RowKind { kBgr, kCmyk, kIndexed, kGreyLevels };

// Copies the picked pixels of one decoded row into one destination row.
void CopyPicks(const Job& job, RowKind kind, const JSAMPLE* from, std::uint8_t* to);

// One decoded row and a byte to spare (CopyPicks moves four bytes at a time).
JSAMPARRAY ScratchRow(jpeg_decompress_struct& info);

// One row into the scratch row.
void ReadRow(jpeg_decompress_struct& info, JSAMPARRAY scratch, RowCounts& counts);

// Draws the picks of the source rows from `from` up to `to` (not included), in order;
// rows between picks are skipped when `skip`, else read and dropped.
void DrawPicks(jpeg_decompress_struct& info, const Job& job, RowKind kind, bool skip,
               JSAMPARRAY scratch, RowCounts& counts, int from, int to);

// The rest of the picture is still decoded, so that damaged data and the markers after the
// last scan raise what they raise on the plain road; then jpeg_finish_decompress.
void ReadToEnd(jpeg_decompress_struct& info, bool skip, JSAMPARRAY scratch, RowCounts& counts);
