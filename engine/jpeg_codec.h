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

// Shared with the fast road (engine/fast/), which must decode exactly as DecodeJpeg.
struct jpeg_decompress_struct;
struct DecodeOutput {
  RasterFormat Format = rf24Bit;  // rf8Bit: one colour index per pixel through a colour map
  bool Cmyk = false;              // rows arrive as inverted CMYK, 4 bytes per pixel
};
// Every decoder parameter after jpeg_read_header. Leaves by the library's error exit
// (arithmetic coding), so only a function that has set the jump may call it.
DecodeOutput SetDecodeParameters(jpeg_decompress_struct& info, const JpegSettings& settings);
// Creates the library object over bytes fed as FeedFor(bytes) says, reads the header and
// sets every decoder parameter; the same rule for the jump.
struct Decompressor;
enum class SourceFeed;
DecodeOutput OpenDecoder(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                         const JpegSettings& settings, SourceFeed feed);
// The library's colour map as a table: grey levels or red, green, blue.
std::vector<RgbColour> TableFromColormap(const jpeg_decompress_struct& info);
// Adobe writes CMYK inverted (255 = no ink), so each channel times K is the light left.
inline void InvertedCmykPixelToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr) {
  const unsigned k = cmyk[3];
  bgr[0] = static_cast<std::uint8_t>((cmyk[2] * k + 127) / 255);
  bgr[1] = static_cast<std::uint8_t>((cmyk[1] * k + 127) / 255);
  bgr[2] = static_cast<std::uint8_t>((cmyk[0] * k + 127) / 255);
}

// Encodes a raster of at least 1 x 1 pixels as a baseline JFIF stream appended to out.
void EncodeJpeg(const Raster& picture, const JpegSettings& settings,
                ByteStore& out);
