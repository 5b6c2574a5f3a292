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

// Hands the library all the bytes in one step (its fast Huffman road needs whole MCUs in
// the buffer, which fixed small steps keep cutting short); FF D9 once they run out; code 42
// when there was not a single byte.
struct SourceManager : jpeg_source_mgr {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
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
// Both also lift the library's memory limit, so it never wants temporary files.
void AttachSource(Decompressor& jpeg, std::span<const std::uint8_t> bytes);
void AttachDestination(Compressor& jpeg, ByteStore& out);
