#pragma once
// SHA-256 (FIPS 180-4), for the benchmark's fingerprints of pixels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Add(const std::uint8_t* data, std::size_t size);
  std::string HexDigest();  // ends the hash; lower-case hex

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};
