#pragma once
// What the engine hands libjpeg: an error manager that leaves the library by longjmp, a
// data source over bytes in memory and a destination that grows a byte vector. Guards own
// the library objects so jpeg_destroy runs on every path. Only the codec layer uses this.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <span>
#include <vector>

#include <jpeglib.h>

#include "engine/large_pages.h"

struct ErrorManager : jpeg_error_mgr {
  std::jmp_buf jump;
  const char* out_of_memory = nullptr;  // set when our own output buffer could not grow
};

// The exception for the condition recorded in err; thrown in C++ after the longjmp.
[[noreturn]] void ThrowCodecFailure(const ErrorManager& err);

// How the data source hands the library the bytes: 4096 at a time, as a file source does, or
// all of them in one step where that is known to decode alike.
enum class SourceFeed { kWhole, kSteps };

// The library reads Huffman-coded data in one of two ways, chosen by how many bytes it has in
// hand: a quick one while a whole MCU's worth surely is, a careful one near the end of what
// it holds. They read every byte sequence alike except fill bytes inside the data (FF FF,
// as in FF FF 00), which the quick way takes for a marker and the careful one skips. So the
// whole picture in one step gives the same coefficients as steps of 4096 bytes where no
// FF FF pair follows the first scan header (the markers before it are read alike either
// way); anything else goes in steps.
SourceFeed FeedFor(std::span<const std::uint8_t> bytes);

// Hands the library the bytes as `feed` says; FF D9 once they run out; code 42 when there
// was not a single byte.
struct SourceManager : jpeg_source_mgr {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
  std::size_t step = 0;  // the most one refill hands over
};

// Collects the encoded stream through a 4096-byte buffer.
struct DestinationManager : jpeg_destination_mgr {
  ByteStore* out = nullptr;
  JOCTET buffer[4096];
};

// The library objects start zeroed, so destroying one that was never created does nothing.
struct Decompressor {
  ErrorManager err{};
  SourceManager source{};
  jpeg_decompress_struct info{};
  Decompressor();
  ~Decompressor() { jpeg_destroy_decompress(&info); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
};

struct Compressor {
  ErrorManager err{};
  DestinationManager destination{};
  jpeg_compress_struct info{};
  Compressor();
  ~Compressor() { jpeg_destroy_compress(&info); }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
};

// Call after jpeg_create_*: the source reads bytes from offset 0; the destination appends.
// The library never wants temporary files: the source caps its whole-image buffers at half
// the memory budget (beyond that they fail as "Out of memory"), the destination lifts the
// limit (an encoder has no such buffers).
void AttachSource(Decompressor& jpeg, std::span<const std::uint8_t> bytes, SourceFeed feed);
void AttachDestination(Compressor& jpeg, ByteStore& out);
