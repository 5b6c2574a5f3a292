#pragma once
// Counting and finding set bits of a 64-bit word, as the progressive decoder does for every
// refinement symbol: with the processor's own instructions where it has them (kBits), else
// with shifts and masks. Both give the same answers.
#include <array>
#include <cstdint>

// Two instructions of the x86-64 machines of the last decade that the baseline the program
// is built for lacks (popcnt, and BMI2's pdep): used where the processor says it has them,
// written out so that no other code is built for them.
#if defined(__x86_64__)
inline bool HasBitInstructions() {
  return __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi2");
}
[[gnu::always_inline]] inline int PopCount(std::uint64_t x) {
  std::uint64_t n;
  asm("popcntq %1, %0" : "=r"(n) : "rm"(x) : "cc");
  return static_cast<int>(n);
}
// Deposits the low bits of `bits` at the set bits of `mask`, lowest first.
[[gnu::always_inline]] inline std::uint64_t Deposit(std::uint64_t bits, std::uint64_t mask) {
  std::uint64_t out;
  asm("pdepq %2, %1, %0" : "=r"(out) : "r"(bits), "rm"(mask));
  return out;
}
#else
inline bool HasBitInstructions() { return false; }
inline int PopCount(std::uint64_t) { return 0; }
inline std::uint64_t Deposit(std::uint64_t, std::uint64_t) { return 0; }
#endif

// The number of bits set.
template <bool kBits>
[[gnu::always_inline]] inline int Ones(std::uint64_t x) {
  if constexpr (kBits) return PopCount(x);
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// By a byte and a rank r: the place in the byte of its set bit with r set bits below it.
inline constexpr std::array<std::array<std::uint8_t, 8>, 256> kSelectInByte = [] {
  std::array<std::array<std::uint8_t, 8>, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    int rank = 0;
    for (int bit = 0; bit < 8; ++bit) {
      if (byte >> bit & 1) table[byte][rank++] = static_cast<std::uint8_t>(bit);
    }
  }
  return table;
}();

// The set bit of `x` with `rank` set bits below it, as a mask; 0 when `x` has no more than
// `rank` bits set. Without branches: the runs a refinement scan passes are too irregular to
// predict.
template <bool kBits>
[[gnu::always_inline]] inline std::uint64_t SelectBit(std::uint64_t x, int rank) {
  if constexpr (kBits) return Deposit(std::uint64_t{1} << rank, x);
  constexpr std::uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
  std::uint64_t counts = x - ((x >> 1) & 0x5555555555555555u);
  counts = (counts & 0x3333333333333333u) + ((counts >> 2) & 0x3333333333333333u);
  counts = (counts + (counts >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  const std::uint64_t below_or_in = counts * kOnes;  // byte i: the bits set in bytes 0 to i
  if (static_cast<int>(below_or_in >> 56) <= rank) return 0;
  // High bit of byte i set where bytes 0 to i hold no more than `rank` bits.
  const std::uint64_t within =
      ((static_cast<std::uint64_t>(rank) * kOnes | kHigh) - below_or_in) & kHigh;
  const int byte = __builtin_ctzll(~within & kHigh) >> 3;
  const int before = byte == 0 ? 0 : static_cast<int>(below_or_in >> (8 * byte - 8) & 0xFF);
  return std::uint64_t{1} << (8 * byte + kSelectInByte[x >> (8 * byte) & 0xFF][rank - before]);
}

