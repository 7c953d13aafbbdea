// Windows text-mode line input and output, done by hand on streams opened in
// binary mode, so that every platform reads and writes the same bytes.
#pragma once

#include <istream>
#include <ostream>
#include <string>

// Reads the next line of `in` into `line`, without its line end.
// CR LF and a lone LF end a line; a CR not followed by LF stays in the line;
// byte 0x1A as the last byte of the input is dropped.  A last line without a
// line end is still a line.  Returns false when no line was read: at the end
// of the input, or on a read error, which leaves `in.bad()` set.  A 0x1A with
// more bytes after it would end the input there in text mode and lose the
// rest: the reading stops with `in.bad()` set and `*endMark`, when given, set
// to the byte's offset in the input.
bool ReadTextLine(std::istream& in, std::string& line, std::streamoff* endMark = nullptr);

// Writes `line` followed by CR LF.
void WriteTextLine(std::ostream& out, const std::string& line);
