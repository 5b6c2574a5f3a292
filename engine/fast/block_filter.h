#pragma once
// The inverse DCT run only on the blocks whose samples some picked pixel depends on: its own
// sample of each component, and where a component is upsampled smoothly the neighbouring
// sample that the library blends in (on the side of the sample the pixel lies). Every other
// block comes out as zeros, which feed only pixels that are dropped. The filter stands in for
// the library's per-component IDCT and calls the library's own for the blocks it keeps, so
// the kept samples are its exact output. For the float method, where the row-only transform
// gives what the library's gives (idct_rows.h), only the sample rows a pick needs are made,
// and the rest of the buffer is zeroed once and then left as it is.
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>
#include <jpegint.h>  // struct jpeg_inverse_dct, to pass over the blocks no pick needs

#include "engine/fast/entropy_index.h"
#include "engine/fast/rows_zeroed_once.h"

struct Job;

struct BlockFilter {
  inverse_DCT_method_ptr idct[MAX_COMPONENTS] = {};
  // By component: one mark per block row and per block column of the whole picture, zero
  // where no pick needs a sample of it, else bit k set where one needs its sample row (or
  // column) k.
  const std::uint8_t* rows[MAX_COMPONENTS] = {};
  const std::uint8_t* cols[MAX_COMPONENTS] = {};
  // By component: kept blocks that need few sample rows (RowsPay) go through IdctRows, for
  // those rows only; the blocks left out and the rows IdctRows leaves out keep what their
  // places held, each row of the buffer zeroed once.
  bool by_rows[MAX_COMPONENTS] = {};
  RowsZeroedOnce zeroed[MAX_COMPONENTS];
  // Where the library stands: the blocks of one iMCU row come component by component in
  // rows from left to right, or, when one scan holds every component, MCU by MCU with each
  // component's blocks of the MCU in rows. The block row is counted from that order.
  bool interleaved = false;
  JDIMENSION imcu[MAX_COMPONENTS] = {};
  JDIMENSION last_col[MAX_COMPONENTS] = {};
  int row_in_imcu[MAX_COMPONENTS] = {};
  long long* skipped = nullptr;  // counts the blocks left out
};

// Puts the filter in place of the library's IDCT once the output pass is set up, where the
// picks name every pixel drawn: plain colour output at full scale with whole-number
// sampling ratios, upsampled as UpsamplingKnown says (no sample reaches further than its
// neighbours). Anything else keeps the library's IDCT for every block; false then.
bool FilterBlocks(jpeg_decompress_struct& info, const Job& job, BlockFilter& f);

// The filter `info` calls now as its IDCT (FilterBlocks put it in place), or null. A decoder
// that knows each block's place and which blocks the filter keeps may call the library's IDCT
// (`idct`) for those itself, instead of having the filter work out every block's place; the
// others' samples must be set once (the filter zeroes them) and are then never read for a
// pixel that is shown; likewise the rows that IdctRows leaves out of a kept block, where
// `by_rows` is set for its component. It counts the blocks it leaves out in `skipped`.
BlockFilter* FilterInPlace(const jpeg_decompress_struct& info);

// Whether FilterBlocks would put the filter in place: known as soon as the library has chosen
// how to upsample, before the first scan is read.
bool FilterApplies(const jpeg_decompress_struct& info, const Job& job);

// The marks FilterBlocks sets for component `c`: one per block row into `rows`
// (height_in_blocks of them) and one per block column into `cols` (width_in_blocks), zero
// where no pick needs the block row or column, else with bit k set for its sample row or
// column k that one needs.
void MarkKept(const jpeg_decompress_struct& info, const Job& job, int c, std::uint8_t* rows,
              std::uint8_t* cols);

// For a filter that FilterBlocks put in place, on a picture whose one scan holds every
// component: the blocks of each MCU whose inverse DCT the filter keeps (masks allocated in
// the image's pool), so that the entropy decoder need not store the others' coefficients.
// Empty otherwise, also for a filter FilterBlocks refused.
McuBlocksKept BlocksKept(jpeg_decompress_struct& info, const BlockFilter& f);

// The share of the picture's luma blocks the filter keeps, 0..1 (1 without a filter).
double LumaShareKept(const jpeg_decompress_struct& info, const BlockFilter& f);
