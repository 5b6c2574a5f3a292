#pragma once
// The streamed draw of a JPEG picture that has not been decoded: rows come from the library
// one at a time and only the pixels the nearest-neighbour pick takes are copied into the
// 24-bit target, so no full-size raster is made. Rows that no destination row uses are
// skipped where that leaves every kept row's bytes as they are, else read and dropped.
// Same pixels, same errors, as DecodeJpeg followed by StretchDraw.
#include <cstdint>
#include <span>

#include "engine/jpeg_image.h"
#include "engine/raster.h"
#include "engine/stretch.h"

// Process-wide road for drawing undecoded pictures: true (the default) streams, false
// forces the plain road (full decode into the picture's raster, then the stretch).
void SetStreamedDrawing(bool on);
bool StreamedDrawing();

// Grey pictures are dithered by a worker thread beside the decoder (true, the default, on
// more than one core) or by the decoding thread itself (false); the output is the same.
void SetDitherWorker(bool on);

// Sequential colour pictures may be cut in two: the calling thread reads the upper rows and
// a helper thread, after skipping to the cut, the lower ones. kAuto cuts where it pays
// (more than one core, a large picture, picks dense enough); kAlways cuts every picture of
// two iMCU rows or more in the middle. Where picks are sparse, kAuto first has two threads
// index the entropy-coded data, so that skipping costs nothing; kAlways indexes every
// picture that can be indexed. A draw that meets any error or warning is drawn
// again whole on one thread, so the output and the errors are the same either way.
enum class SplitDecoding { kAuto, kNever, kAlways };
void SetSplitDecoding(SplitDecoding mode);

// What the last streamed draw asked of the library, in source rows.
struct StreamedRows {
  int Read = 0;     // decoded and converted (kept or dropped)
  int Skipped = 0;  // passed over with jpeg_skip_scanlines
  long long BlocksSkipped = 0;  // blocks of read rows left out of the inverse DCT
  bool Split = false;           // drawn by two threads, each reading its part
  bool OwnEntropy = false;      // the entropy-coded data read by the engine's own decoder
  bool Indexed = false;         // ... through an entropy index
};
StreamedRows LastStreamedRows();

// How far a streamed draw got: once the decoder has started, the size its picture has.
struct StreamedDraw {
  bool Started = false;
  int Width = 0, Height = 0;
  bool HasTable = false;  // the picture came through a colour map (grey)
};

// Draws the picture in bytes into target by plan, a plan made for the picture's full size
// (JpegSettings::ScaleShift 0, OutputFormat rf24Bit). target is a 24-bit raster, or has no
// store when plan is empty; the whole picture is decoded either way. Throws what
// DecodeJpeg throws; draw tells how far it got.
void DrawJpegStreamed(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                      const StretchPlan& plan, Raster& target, StreamedDraw& draw);
