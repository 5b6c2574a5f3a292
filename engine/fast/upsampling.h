#pragma once
// What the fast road knows of how libjpeg-turbo 2.1 upsamples a picture once
// jpeg_start_decompress has set it up, and what follows from that for skipping rows: the
// skip and the block filter are used only where the picture is upsampled as modelled here.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

// How the library upsamples one component: smoothly ("fancy") where asked for and the
// component is more than two samples wide, else by repeating samples.
enum class Upsampling {
  kNone,        // a component the output does not need
  kFullSize,    // nothing to do
  kSmoothH2V1,  // 2:1 across, blending the neighbours
  kRepeatH2V1,
  kSmoothH1V2,  // 2:1 down, with the rows above and below as context
  kSmoothH2V2,  // 2:1 both ways, with context rows
  kRepeatH2V2,
  kRepeat,      // any other whole-number ratio, by repeating samples
  kUnknown,
};
Upsampling ComponentUpsampling(const jpeg_decompress_struct& info, int component);

// True when every component is upsampled as ComponentUpsampling says, as far as the library
// shows it: smooth vertical upsampling is what makes it ask for context rows. With smooth
// upsampling off the library may merge upsampling and colour conversion, which is not
// modelled, so the answer is then false.
bool UpsamplingKnown(const jpeg_decompress_struct& info);

// True when rows skipped with jpeg_skip_scanlines leave every later row as reading all of
// them gives it: the layout is one the tests prove, and the library either upsamples with
// context rows (it reads them again itself) or hands out one row per row group. Without
// context rows, a skip into a row group of two rows (luma 2x2 with chroma repeated, as in a
// 4:2:0 picture a few pixels wide, or 4:1:0) leaves the group half read, and the next row
// read comes from the stale group. Quantized output never skips: the one-pass dither carries
// its error from row to row, and the library refuses to skip under two-pass quantization.
bool SkipIsExact(const jpeg_decompress_struct& info);
