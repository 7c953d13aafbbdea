#include "database/line_rewriting.h"

#include "installer/shared_state.h"
#include "platform/text_lines.h"

bool ReadSharedLine(std::string& line) { return ReadTextLine(sharedInput, line); }

void WriteSharedLine(const std::string& line) { WriteTextLine(sharedOutput, line); }
