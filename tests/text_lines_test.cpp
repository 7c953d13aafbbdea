// Windows text-mode lines read by hand from binary streams (the writing is
// checked through the steps, whose every line ends in CR LF).
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text_lines.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

// The lines read, and the offset of a Ctrl-Z that stopped the reading (-1: none).
std::pair<Lines, std::streamoff> ReadAll(std::istream& in) {
  std::pair<Lines, std::streamoff> read{{}, -1};
  for (std::string line; ReadTextLine(in, line, &read.second);) read.first.push_back(line);
  EXPECT_EQ(in.bad(), read.second >= 0);
  return read;
}

TEST(TextLines, ReadsLinesTheWayTextModeDoes) {
  const struct { std::string bytes; Lines lines; std::streamoff endMark = -1; } cases[] = {
      {"", {}}, {"\r\n\n", {"", ""}},
      {"a\r\nb\nc\r\n", {"a", "b", "c"}},  // CR LF or a lone LF ends a line
      {"a\rb\r\n", {"a\rb"}}, {"a\r\r\n", {"a\r"}}, {"a\r", {"a\r"}},  // other CRs stay in the line
      {"a\r\nlast", {"a", "last"}},  // a last line without line end is a line
      {"\x1A", {}}, {"a\r\x1A", {"a\r"}}, {"a\r\n\x1A", {"a"}},  // a Ctrl-Z as the last byte is dropped
      // One with more bytes after it stops the reading, at its offset.
      {"a\r\nb\x1A" "c\r\nd\r\n", {"a"}, 4}, {"ab\x1A\r\n", {}, 2}, {"a\r\n\x1A\x1A", {"a"}, 3},
      {std::string("a\0\x1A", 3) + "\n", {}, 2},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    EXPECT_EQ(ReadAll(in), std::make_pair(c.lines, c.endMark)) << ::testing::PrintToString(c.bytes);
  }
}

TEST(TextLines, AReadErrorIsNotTheEndOfTheFile) {
  // Reading a directory fails with an I/O error on POSIX systems.
  const std::string dir = MakeTempDir();
  std::ifstream in(dir, std::ios::binary);
  std::string line;
  EXPECT_FALSE(ReadTextLine(in, line));
  EXPECT_TRUE(in.bad());
  std::filesystem::remove_all(dir);
}

}  // namespace
