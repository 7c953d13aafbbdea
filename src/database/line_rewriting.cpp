#include "database/line_rewriting.h"

#include <cstdint>

#include "installer/shared_state.h"
#include "platform/text_lines.h"

bool ReadSharedLine(std::string& line) {
  std::streamoff endMark = -1;
  if (ReadTextLine(sharedInput, line, &endMark)) return true;
  if (endMark >= 0) FailAtEndOfFileMark(static_cast<std::uint64_t>(endMark));
  return false;
}

void WriteSharedLine(const std::string& line) { WriteTextLine(sharedOutput, line); }
