#include "database/line_rewriting.h"

#include <cstdint>

#include "installer/shared_state.h"
#include "platform/text_lines.h"

bool ReadSharedLine(std::string& line) {
  std::streamoff endMark = -1;
  const bool read = ReadTextLine(sharedInput, line, &endMark);
  if (endMark >= 0) NoteEndOfFileMark(static_cast<std::uint64_t>(endMark));
  return read;
}

void WriteSharedLine(const std::string& line) { WriteTextLine(sharedOutput, line); }
