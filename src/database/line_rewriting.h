// How the text steps read, test and write their files: one line at a time
// through the shared streams, Windows text mode, every line written back
// followed by a line end.
#pragma once

#include <cstring>
#include <string>

// True when `line` is at least as long as `prefix` and its first characters
// equal `prefix` byte for byte.
inline bool BeginsWith(const std::string& line, const char* prefix) {
  return line.compare(0, std::strlen(prefix), prefix) == 0;
}

// Reads the next line of the shared input into `line`; false at the end of the
// input or on a read error (which CloseStepFiles() reports).  The first Ctrl-Z
// ends the text (NoteEndOfFileMark()).
bool ReadSharedLine(std::string& line);

// Writes `line` and a line end (CR LF) to the shared output.
void WriteSharedLine(const std::string& line);
