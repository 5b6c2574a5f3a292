#pragma once
// The fast road: a JPEG picture not decoded yet, drawn reduced into a 24-bit raster without
// a full-size raster. Rows come from the library one at a time and only the pixels the
// nearest-neighbour pick takes are copied; rows no destination row uses are skipped where
// that leaves every kept row's bytes as they are (upsampling.h), else read and dropped;
// blocks no pick needs skip the inverse DCT (block_filter.h); grey pictures are dithered by
// the engine (dither_pipe.h); large sequential ones may be cut between two threads
// (split_draw.h) and their entropy-coded data read by the engine's own decoder, in order or
// through an index built by two readers (entropy_index.h). Same pixels, same errors, as the
// plain road (DecodeJpeg followed by StretchDraw), which every test holds it to.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/engine_options.h"
#include "engine/jpeg_image.h"
#include "engine/raster.h"
#include "engine/stretch.h"

// True while the fast road may draw in this process: no check has found it drawing otherwise
// than the plain road. Each layout it treats apart (grey, 4:4:4, 4:2:2, 4:2:0, 4:4:0, 4:1:1,
// four components, any other; sequential or progressive) is checked the first time the fast
// road meets it: small pictures of that layout, made by the library's encoder from a fixed
// pattern, are drawn through both roads, on one thread and with helper threads. Any
// difference turns the fast road off for the rest of the process.
bool FastRoadUsable();
// Every layout's check at once (for the tests): what differed, empty when nothing did.
std::vector<std::string> FastRoadCheck();

// How far a fast draw got: once the decoder has started, the size its picture has.
struct FastDraw {
  bool Started = false;
  int Width = 0, Height = 0;
  bool HasTable = false;  // the picture came through a colour map (grey)
};

// Draws the picture in bytes into target by plan, a plan made for the picture's full size
// (JpegSettings::ScaleShift 0, OutputFormat rf24Bit). target is a 24-bit raster, or has no
// store when plan is empty; the whole picture is decoded either way. Throws what DecodeJpeg
// throws; draw tells how far it got, report what it did. False, with nothing drawn, when the
// check of the picture's layout turns the fast road off: the plain road must draw it.
bool DrawJpegFast(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                  const StretchPlan& plan, Raster& target, const EngineOptions& options,
                  FastDraw& draw, DrawReport& report);
