#include "platform/disk_writeback.h"

// Windows writes a file's cached data to disk on its own within seconds and
// has no call that only starts it (FlushFileBuffers() waits for the disk), nor
// one that drops part of a file from its cache: no hint is given.
int OpenForHints(const std::string&) { return -1; }

void CloseForHints(int) {}

void StartWritingToDisk(int) {}

void DropFromMemory(int, std::uint64_t) {}
