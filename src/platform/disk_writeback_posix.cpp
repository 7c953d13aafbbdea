#include "platform/disk_writeback.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

int OpenForHints(const std::string& path) {
  // Read access is enough for both hints, whatever the file is used for.
  return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

void CloseForHints(int file) {
  if (file >= 0) close(file);
}

void StartWritingToDisk(int file) {
#ifdef SYNC_FILE_RANGE_WRITE
  // Starts the writing of the dirty pages of the whole file that are not
  // being written already, and returns without waiting for it.
  if (file >= 0) sync_file_range(file, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)file;
#endif
}

void DropFromMemory(int file, std::uint64_t length) {
#ifdef POSIX_FADV_DONTNEED
  if (file < 0 || length == 0) return;
  // A length of 0 tells posix_fadvise() to go to the end of the file.
  const off_t span = length >= static_cast<std::uint64_t>(INT64_MAX) ? 0 : static_cast<off_t>(length);
  posix_fadvise(file, 0, span, POSIX_FADV_DONTNEED);
#else
  (void)file;
  (void)length;
#endif
}
