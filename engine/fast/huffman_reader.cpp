#include "engine/fast/huffman_reader.h"

bool HuffmanDecodeTable::Make(const JHUFF_TBL& table, TableUse use) {
  std::memset(look, 0, sizeof look);
  std::memcpy(symbols, table.huffval, sizeof symbols);
  int p = 0;
  std::int32_t code = 0;
  for (int length = 1; length <= 16; ++length) {
    const int n = table.bits[length];
    if (p + n > 256) return false;
    value_offset[length] = p - code;
    max_code[length] = n > 0 ? code + n - 1 : -1;
    for (int i = 0; i < n; ++i, ++p, ++code) {
      if (length > kLookBits) continue;
      const int shift = kLookBits - length;
      for (int fill = code << shift; fill < (code + 1) << shift; ++fill)
        look[fill] = static_cast<std::uint16_t>(length << 8 | symbols[p]);
    }
    if (code > (1 << length)) return false;
    code <<= 1;
  }
  max_code[17] = 0x7FFFFFFF;
  if (use != TableUse::kSymbols) {
    std::memset(fast_ac, 0, sizeof fast_ac);
    for (int peek = 0; peek < 1 << kLookBits; ++peek) {
      if (look[peek] == 0) continue;
      const int length = look[peek] >> 8, run = (look[peek] >> 4) & 15,
                size = look[peek] & 15;
      if (size == 0) {
        if (run != 15) fast_ac[peek] = kEndOfBlock << 8 | length;
      } else if (length + size <= kLookBits) {
        const int extra = (peek >> (kLookBits - length - size)) & ((1 << size) - 1);
        fast_ac[peek] = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(Extend(extra, size)) << 16 |
            static_cast<std::uint32_t>(run << 8 | (length + size)));
      }
    }
  }
  if (use == TableUse::kPassing) {
    std::memset(skip_ac, 0, sizeof skip_ac);
    constexpr unsigned kMask = (1u << kSkipBits) - 1;
    for (unsigned window = 0; window <= kMask; ++window) {
      int used = 0, advanced = 0;
      bool ended = false;
      while (used < kSkipBits) {
        const int entry = look[((window << used) & kMask) >> (kSkipBits - kLookBits)];
        const int length = entry >> 8, run = (entry >> 4) & 15, size = entry & 15;
        if (entry == 0 || used + length + size > kSkipBits || (size == 0 && run == 15)) break;
        used += length + size;
        if (size == 0) {
          ended = true;
          break;
        }
        advanced += run + 1;
      }
      if (used > 0)
        skip_ac[window] = static_cast<std::uint16_t>(used | advanced << 4 | ended << 11);
    }
  }
  return true;
}

// Real bits still in the store belong to the data bytes just before `next` (FF 00 being one
// byte).
std::uint64_t BitOffset(const BitPosition& at, const std::uint8_t* base) {
  const int left = at.count - at.made_up;
  const int whole = (left + 7) >> 3;  // at most 8; none once made-up bits were used
  const std::uint8_t* p = at.next;
  const unsigned part = static_cast<unsigned>((8 - (left & 7)) & 7);
  // Where no FF lies among the bytes the walk back below looks at (the whole bytes and the
  // one before them, as it is for all but about one mark in thirty), each byte is one.
  if (whole > 0 && p - base >= 9) {
    std::uint64_t last;
    std::memcpy(&last, p - 8, sizeof last);
    if (!HasFfByte(last) && (whole < 8 || p[-9] != 0xFF))
      return static_cast<std::uint64_t>(p - whole - base) * 8 + part;
  }
  for (int n = whole; n > 0; --n)
    p -= p - base >= 2 && p[-1] == 0 && p[-2] == 0xFF ? 2 : 1;
  return static_cast<std::uint64_t>(p - base) * 8 + part;
}

const std::uint8_t* MarkerAt(std::uint64_t bit, const std::uint8_t* base,
                             const std::uint8_t* end) {
  const std::uint8_t* p = base + bit / 8;
  if ((bit & 7) != 0) p += *p == 0xFF ? 2 : 1;  // the partly used byte
  return end - p >= 2 && p[0] == 0xFF && p[1] != 0 ? p : nullptr;
}
