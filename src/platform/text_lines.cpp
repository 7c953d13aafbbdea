#include "platform/text_lines.h"

#include <cstring>

bool ReadTextLine(std::istream& in, std::string& line) {
  // std::getline scans the stream's buffer for LF in bulk; the text-mode
  // rules are applied to what it returns.
  if (!std::getline(in, line)) return false;
  const bool endedByLf = !in.eof();

  if (const void* ctrlZ = std::memchr(line.data(), 0x1A, line.size())) {
    // Everything from the Ctrl-Z on is beyond the end of the input.
    line.resize(static_cast<const char*>(ctrlZ) - line.data());
    if (line.empty()) {
      in.setstate(std::ios::eofbit | std::ios::failbit);
      return false;
    }
    in.setstate(std::ios::eofbit);
    return true;
  }
  if (endedByLf && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void WriteTextLine(std::ostream& out, const std::string& line) {
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.write("\r\n", 2);
}
