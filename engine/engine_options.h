#pragma once
// How the engine may draw a picture, as a plain value handed to the work that uses it
// (JpegImage::SetOptions, MakeThumbnail): which road, and whether helper threads may run.
// Nothing about it is process-wide. The defaults are what the tool runs with.

// kFast: a picture not decoded yet that is drawn into a 24-bit raster goes the fast road
// (engine/fast/) where the build has it and it passed its check at first use; everything
// else, and every picture in a build without it, the plain road. kPlain: always the plain
// road, a full decode into a raster and then the stretch: the reference every other road is
// held to, pixel for pixel.
enum class EngineRoad { kPlain, kFast };

// Whether the fast road cuts a sequential picture between two decoders, or has two readers
// index its entropy-coded data: kAuto where that pays, kAlways wherever it can (tests),
// kNever. Either way the pixels and errors are the same.
enum class SplitDecoding { kAuto, kNever, kAlways };

struct EngineOptions {
  EngineRoad Road = EngineRoad::kFast;
  // Helper threads (the grey dither worker, a second decoder, a second entropy reader), on
  // machines with more than one core. False keeps every draw on the calling thread.
  bool Threads = true;
  SplitDecoding Split = SplitDecoding::kAuto;
};

// Which decoder read the entropy-coded data of a draw: the library's, or the engine's own
// (in order, or through an index of its MCU rows, or the progressive decoder, which keeps
// only the coefficients of the blocks transformed).
enum class EntropyDecoder { kLibrary, kEngine, kEngineIndexed, kEngineProgressive };

// What one draw of a JPEG picture did, for the tests and the benchmark: the caller reads it
// from the image (JpegImage::LastDraw) or from MakeThumbnail.
struct DrawReport {
  EngineRoad Road = EngineRoad::kPlain;  // the road that drew it
  EntropyDecoder Decoder = EntropyDecoder::kLibrary;
  int RowsRead = 0;             // source rows decoded and converted (kept or dropped)
  int RowsSkipped = 0;          // passed over with jpeg_skip_scanlines
  long long BlocksSkipped = 0;  // blocks of read rows left out of the inverse DCT
  bool Split = false;           // drawn by two threads, each reading its part
  bool Redrawn = false;         // a first draw was dropped and the library's decoder drew again
};
