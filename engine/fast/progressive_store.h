#pragma once
// The engine's own decoding of a progressive Huffman picture. Once the library has set the
// picture up, a store of the engine's stands in for the library's whole-image coefficient
// buffer and its progressive entropy decoder. The store keeps the coefficients of only the
// blocks the block filter transforms, and for every block which of its coefficients are
// nonzero so far: all that a refinement scan depends on to be read. The library still reads
// every marker, checks every scan header and the progression (its warnings stand), and
// transforms, upsamples and converts as always; its own buffer is not made (where it would
// not surely fit the memory allowed, the store does not stand in: the library then fails or
// decodes as it always does).
//
// Only clean data is decoded here. A bad code, a restart marker, data that runs into a marker
// or leaves stray bytes before it, a coefficient that could overflow, a picture the library
// would smooth (its scans leave coefficients unknown): each marks the store as failed and
// leads the library to the end of the image; the draw must then be done again by the
// library's own decoder, which gives the exact pixels, warnings and errors of such data.
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <vector>

#include <jpeglib.h>

#include "engine/fast/huffman_reader.h"
#include "engine/large_pages.h"

struct Job;

class ProgressiveStore {
 public:
  // Before jpeg_start_decompress, with the whole file in the source buffer: arranges for the
  // store to stand in as soon as the library has set up a progressive Huffman picture whose
  // blocks the block filter chooses from `job`'s picks (the same blocks FilterBlocks keeps
  // after the start). Does nothing for any other picture.
  void Arrange(jpeg_decompress_struct& info, const Job& job);

  bool InPlace() const { return in_place_; }
  bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }

  // The bytes the store holds (tests and the benchmark's memory figures).
  std::size_t Bytes() const;

 private:
  struct alignas(32) Block {  // aligned as the library's own blocks, for its SIMD transforms
    JCOEF c[DCTSIZE2];
  };
  struct Component {
    JDIMENSION width = 0, height = 0;  // in blocks
    std::vector<std::int32_t> row_slot, col_slot;  // among the kept rows and columns; -1: not kept
    JDIMENSION kept_rows = 0, kept_cols = 0;
    Block* kept = nullptr;  // the kept blocks, row by row, coefficients in natural order
    // For every block: bit k set once the coefficient at zigzag position k is nonzero.
    std::uint64_t* nonzero = nullptr;
    JCOEF* At(JDIMENSION row, JDIMENSION col) {
      const std::int32_t r = row_slot[row], c = col_slot[col];
      return r < 0 || c < 0 ? nullptr : kept[static_cast<std::size_t>(r) * kept_cols + c].c;
    }
  };
  enum class ScanKind { kDcFirst, kDcRefine, kAcFirst, kAcRefine };

  static void TakeOverOrRealize(j_common_ptr common);
  static void StartInputPass(j_decompress_ptr info);
  static int ConsumeData(j_decompress_ptr info);
  static void StartOutputPass(j_decompress_ptr info);
  static int DecompressData(j_decompress_ptr info, JSAMPIMAGE output);

  bool TakeOver(jpeg_decompress_struct& info);
  static bool LibraryBuffersFit(const jpeg_decompress_struct& info);
  void StartScan(jpeg_decompress_struct& info);
  bool DecodeRow(jpeg_decompress_struct& info);
  template <ScanKind kKind>
  bool DecodeBlockRow(Reader& r, Component& c, JDIMENSION row, JDIMENSION blocks);
  bool DecodeInterleavedRow(Reader& r, jpeg_decompress_struct& info);
  bool EndScan(jpeg_decompress_struct& info);
  void LeadToEnd(jpeg_decompress_struct& info);

  const Job* job_ = nullptr;
  void (*realize_)(j_common_ptr) = nullptr;  // the library's
  void* client_data_ = nullptr;              // the caller's, given back once the hook has run
  bool in_place_ = false;
  bool failed_ = false;
  std::vector<Component> components_;
  ZeroedArray<Block> arena_;  // every component's kept blocks, then its nonzero flags

  // The scan being read.
  ScanKind kind_ = ScanKind::kDcFirst;
  int ss_ = 0, se_ = 0, al_ = 0;
  const HuffmanDecodeTable* dc_table_[MAX_COMPS_IN_SCAN] = {};
  const HuffmanDecodeTable* ac_table_ = nullptr;
  std::vector<HuffmanDecodeTable> tables_;  // DC 0-3, then AC 0-3
  BitPosition at_;
  const std::uint8_t* base_ = nullptr;  // where the scan's data starts
  const std::uint8_t* end_ = nullptr;   // the end of the bytes in hand
  int dc_[MAX_COMPS_IN_SCAN] = {};
  unsigned eob_run_ = 0;
};
