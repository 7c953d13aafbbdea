// CRC-32 (the polynomial of zip and PNG), of bytes in memory and of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The CRC-32 of `size` bytes at `data`, continued from `crc` (0 to begin).
std::uint32_t Crc32(const char* data, std::size_t size, std::uint32_t crc = 0);

// The size and CRC-32 of the file `path`; false with errno set when it
// cannot be read to its end.
bool FileSizeAndCrc32(const std::string& path, std::uint64_t& size, std::uint32_t& crc);
