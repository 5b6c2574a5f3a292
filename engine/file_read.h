#pragma once
// Reading an open file's bytes at an offset, as a picture is loaded.
#include <cstddef>
#include <cstdint>

// Reads `n` bytes of the open file `fd` at `offset` into `data`, whatever the file's own
// offset; false on a read error or where the file ends first.
bool ReadFileAt(int fd, std::uint8_t* data, std::size_t n, std::uint64_t offset);
