#pragma once
// The three library runs of the codec layer: header, decode, encode. Each makes and
// destroys its own library object and raises JpegCodecError / OutOfMemoryError in C++.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/jpeg_image.h"
#include "engine/raster.h"

struct JpegHeader {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool IsGray = false;
  bool MultipleScans = false;
};

// Reads the markers up to the first scan header; decodes no pixel.
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> bytes);

// Decodes the whole picture into out (an empty raster): format first, then size, then rows.
// Grey pictures (and every picture when settings.OutputFormat is rf8Bit) come as 8-bit
// rasters of at most 236 colours, the rest as 24-bit; four-component pictures are converted
// from Adobe's inverted CMYK. Returns true when a colour table was set. On failure out
// stays as far as it got.
bool DecodeJpeg(std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& out);

// Encodes a raster of at least 1 x 1 pixels as a baseline JFIF stream appended to out.
void EncodeJpeg(const Raster& picture, const JpegSettings& settings,
                std::vector<std::uint8_t>& out);
