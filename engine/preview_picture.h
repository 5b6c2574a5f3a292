#pragma once
// What the file list's selection change shows for one JPEG file in a preview box, without
// any window: the window and `tessarine-bench --preview` both call MakePreview.
//
// A picture that fits the box is shown as it is and decoded when it is first painted; a
// larger one is reduced by a whole-number factor E of its longer side and drawn at once,
// by the road the options choose, into a 24-bit raster of (W div E) x (H div E). Both
// roads draw the same pixels and raise the same errors.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/engine_options.h"
#include "engine/jpeg_image.h"
#include "engine/raster.h"

// The reduction factor of a W x H picture in a box: of the longer side (the width when they
// are equal), truncating, at least 1. A box squeezed to nothing counts as one pixel.
int ReductionFactor(int width, int height, int box_width, int box_height);

struct PreviewPicture {
  std::int32_t Width = 0, Height = 0;  // the picture's size, from its frame header
  int Factor = 1;                      // E; 1 for a picture that fits
  // Exactly one of the two is set: the picture itself when it fits (not decoded yet),
  // else the reduced picture (the loaded file is released once it is drawn).
  std::unique_ptr<JpegImage> Unscaled;
  std::unique_ptr<Raster> Reduced;
};

// Loads the file (its errors leave before on_size is called), tells on_size the picture's
// size, and then, when the picture is larger than the box (device pixels), draws it
// reduced. A decoding error of the reduced picture leaves after on_size has run. Throws
// FileError, JpegCodecError, OutOfMemoryError; `report` gets what the draw did.
PreviewPicture MakePreview(const std::string& path, int box_width, int box_height,
                           const EngineOptions& options,
                           const std::function<void(int width, int height)>& on_size,
                           DrawReport* report = nullptr);
