// Windows text-mode line input and output, done by hand on streams opened in
// binary mode, so that every platform reads and writes the same bytes.
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Reads the next line of `in` into `line`, without its line end.
// CR LF and a lone LF end a line; a CR not followed by LF stays in the line.
// The first byte 0x1A (Ctrl-Z) ends the input as text mode does: the text
// before it is read as if the file ended there, `in` is left at its end (eof
// and fail set), and `*endMark`, when given, is set to the byte's offset, so
// that the caller can copy the bytes from there on unchanged.  A last line
// without a line end is still a line.  Returns false when no line was read:
// at the end of the input, or on a read error, which leaves `in.bad()` set.
bool ReadTextLine(std::istream& in, std::string& line, std::streamoff* endMark = nullptr);

// Writes `line` followed by CR LF.
void WriteTextLine(std::ostream& out, const std::string& line);
