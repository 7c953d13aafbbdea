#include "platform/text_lines.h"

#include <cstring>

bool ReadTextLine(std::istream& in, std::string& line, std::streamoff* endMark) {
  // std::getline scans the stream's buffer for LF in bulk; the text-mode
  // rules are applied to what it returns.
  if (!std::getline(in, line)) return false;
  const bool endedByLf = !in.eof();

  if (const void* ctrlZ = std::memchr(line.data(), 0x1A, line.size())) {
    // The input ends here; whatever follows the Ctrl-Z is the caller's to copy.
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - line.data());
    in.clear();
    const std::streamoff after = in.tellg();
    in.setstate(std::ios::eofbit | std::ios::failbit);
    if (endMark != nullptr) *endMark = after - (endedByLf ? 1 : 0) - static_cast<std::streamoff>(line.size() - at);
    line.resize(at);
    return !line.empty();
  }
  if (endedByLf && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void WriteTextLine(std::ostream& out, const std::string& line) {
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.write("\r\n", 2);
}
