#include "installer/crc32.h"

#include <cerrno>
#include <fstream>

#include "platform/brief_holds.h"

namespace {

struct Table {
  std::uint32_t entries[256];
  Table() {
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      std::uint32_t crc = byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
      entries[byte] = crc;
    }
  }
};

}  // namespace

std::uint32_t Crc32(const char* data, std::size_t size, std::uint32_t crc) {
  static const Table table;
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = (crc >> 8) ^ table.entries[(crc ^ static_cast<unsigned char>(data[i])) & 0xFFu];
  return ~crc;
}

bool FileSizeAndCrc32(const std::string& path, std::uint64_t& size, std::uint32_t& crc) {
  errno = 0;
  std::ifstream file;  // a scanner may hold the file for a moment
  if (!OpenedWhileHeld([&] { return file.open(path, std::ios::binary), file.is_open(); })) return false;
  static char block[64 * 1024];
  size = 0, crc = 0;
  while (file.read(block, sizeof block), file.gcount() > 0) {
    crc = Crc32(block, static_cast<std::size_t>(file.gcount()), crc);
    size += static_cast<std::uint64_t>(file.gcount());
  }
  if (!file.bad()) return true;
  if (errno == 0) errno = EIO;
  return false;
}
