// Hints to the system about the files of a rewriting step: the rewritten
// file is sent to disk while it is written, so that the flush at the end of
// the run finds little left to write, and the backup it is read from leaves
// memory as it is read (it is deleted at the end of the run), so that the
// rewritten file's pages reuse that memory.  The hints never change a file's
// content and never fail the run: where the system has no such hint they do
// nothing.
#pragma once

#include <cstdint>
#include <string>

// Opens the file `path`, which the step reads or writes through a stream of
// its own, for the hints below.  Returns -1 when it cannot, or where the
// system takes no hints; the hints then do nothing.
int OpenForHints(const std::string& path);

// Closes what OpenForHints() returned, unless it is -1.
void CloseForHints(int file);

// Asks the system to start writing to disk whatever of the file has been
// written and not yet sent, without waiting for it.
void StartWritingToDisk(int file);

// Tells the system that the first `length` bytes of the file (all of it for
// UINT64_MAX) will not be read again, so that the memory holding them can be
// reused.  Bytes not yet on disk stay in memory.
void DropFromMemory(int file, std::uint64_t length);
