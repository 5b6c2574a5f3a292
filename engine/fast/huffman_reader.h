#pragma once
// Reading Huffman-coded JPEG data: a bit reader over the bytes as they stand in the file
// (FF 00 stuffing, a marker ends the data) and decoding tables built from the library's.
// The engine's entropy index decodes with these, giving exactly what the library decodes.
#include <array>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstring>

#include <jpeglib.h>

// Where the bit reader stands: the next byte to load, the bits loaded and not yet used (from
// the top), how many of them, and how many of those are zeros made up past the data's end.
struct BitPosition {
  const std::uint8_t* next = nullptr;
  std::uint64_t bits = 0;
  int count = 0;
  int made_up = 0;
};

inline constexpr int kLookBits = 11;
// Passing over AC data looks at this many bits at once (HuffmanDecodeTable::skip_ac).
inline constexpr int kSkipBits = 13;
inline constexpr int kEndOfBlock = 0xFF;  // the run of a fast AC entry that ends the block

// Coefficient order in the data (zigzag) to order in the block.
inline constexpr std::array<std::uint8_t, 64> kNaturalOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The value of `size` extra bits, as the library extends them.
inline int Extend(int bits, int size) {
  return bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits;
}

// Whether any of the eight bytes is FF.
inline bool HasFfByte(std::uint64_t x) {
  const std::uint64_t v = ~x;
  return ((v - 0x0101010101010101u) & x & 0x8080808080808080u) != 0;
}

// Reads bits from the top of a 64-bit store. Byte FF 00 stands for FF; any other byte after
// FF is a marker, where real data ends and made-up zeros follow, as the library reads them.
struct Reader {
  BitPosition at;
  const std::uint8_t* end;

  unsigned Peek(int n) const { return static_cast<unsigned>(at.bits >> (64 - n)); }
  void Skip(int n) {
    at.bits <<= n;
    at.count -= n;
  }
  // Brings at least 56 bits into the store.
  void Fill() {
    if (at.made_up == 0 && end - at.next >= 8) {
      std::uint64_t word;
      std::memcpy(&word, at.next, 8);
      word = __builtin_bswap64(word);
      const int n = (63 - at.count) >> 3;
      const std::uint64_t take = word >> (64 - 8 * n);
      if (!HasFfByte(take)) {
        at.bits |= take << (64 - at.count - 8 * n);
        at.count += 8 * n;
        at.next += n;
        return;
      }
    }
    while (at.count <= 56) {
      std::uint64_t byte = 0;
      if (at.made_up == 0 && at.next < end &&
          (*at.next != 0xFF || (end - at.next >= 2 && at.next[1] == 0))) {
        byte = *at.next;
        at.next += byte == 0xFF ? 2 : 1;
      } else {
        at.made_up += 8;
      }
      at.bits |= byte << (56 - at.count);
      at.count += 8;
    }
  }
};

// The offset in bits from `base` of the next bit a reader standing at `at` gives.
std::uint64_t BitOffset(const BitPosition& at, const std::uint8_t* base);

// Where data that a reader leaves `bit` bits from `base` ends: past the partly used byte, at
// the marker that must follow at once; null where none does (a stray byte, or the end).
const std::uint8_t* MarkerAt(std::uint64_t bit, const std::uint8_t* base,
                             const std::uint8_t* end);

// What a Huffman table is made for: decoding symbols only (DC differences, a refinement
// scan's codes), AC coefficients as well (fast_ac), or passing over AC data too (skip_ac).
// Only the parts its use needs are made (a table is made for each progressive scan).
enum class TableUse { kSymbols, kCoefficients, kPassing };

// One Huffman table, ready for decoding.
struct HuffmanDecodeTable {
  // By the next kLookBits bits, for codes no longer: length << 8 | symbol; else 0.
  std::uint16_t look[1 << kLookBits];
  // From kCoefficients on, where code and extra bits fit in kLookBits: value << 16 | run << 8
  // | bits used, with run kEndOfBlock for an end of block; else 0.
  std::int32_t fast_ac[1 << kLookBits];
  // For kPassing, for passing over data: by the next kSkipBits bits, the run of whole
  // coefficients (code and extra bits) they hold, stopping before a ZRL, after an end of
  // block or at the first one that does not fit: bits used | positions advanced << 4 |
  // ended by an end of block << 11; 0 when not even one fits.
  std::uint16_t skip_ac[1 << kSkipBits];
  std::int32_t max_code[18];  // the largest code of each length, -1 when none
  int value_offset[18];
  std::uint8_t symbols[256];

  // From the library's table, for `use`; false for one that does not make a code.
  bool Make(const JHUFF_TBL& table, TableUse use);

  // The next symbol, or -1 for a code the table lacks. The store holds at least 16 bits.
  int Decode(Reader& r) const {
    const int entry = look[r.Peek(kLookBits)];
    if (entry != 0) {
      r.Skip(entry >> 8);
      return entry & 0xFF;
    }
    const int top = static_cast<int>(r.Peek(16));
    for (int length = kLookBits + 1; length <= 16; ++length) {
      const int code = top >> (16 - length);
      if (code <= max_code[length]) {
        r.Skip(length);
        return symbols[code + value_offset[length]];
      }
    }
    return -1;
  }
};

// Decodes a DC difference with `table` and adds it to the prediction `dc`; the store holds
// at least 32 bits. False for a code the table lacks, a size the library would not take, or
// a prediction far beyond any real picture.
[[gnu::always_inline]] inline bool DecodeDc(Reader& r, const HuffmanDecodeTable& table,
                                            int& dc) {
  const int size = table.Decode(r);
  if (size < 0 || size > 15) return false;
  if (size > 0) {
    dc += Extend(static_cast<int>(r.Peek(size)), size);
    r.Skip(size);
  }
  return dc >= -(1 << 30) && dc <= 1 << 30;
}
