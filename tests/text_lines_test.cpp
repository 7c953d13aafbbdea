// Windows text-mode lines read by hand from binary streams (the writing is
// checked through the steps, whose every line ends in CR LF).
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text_lines.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReadAll(std::istream& in) {
  Lines lines;
  for (std::string line; ReadTextLine(in, line);) lines.push_back(line);
  return lines;
}

TEST(TextLines, ReadsLinesTheWayTextModeDoes) {
  const struct { const char* bytes; Lines lines; } cases[] = {
      {"", {}}, {"\r\n\n", {"", ""}},
      {"a\r\nb\nc\r\n", {"a", "b", "c"}},  // CR LF or a lone LF ends a line
      {"a\rb\r\n", {"a\rb"}}, {"a\r\r\n", {"a\r"}}, {"a\r", {"a\r"}},  // other CRs stay in the line
      {"a\r\nlast", {"a", "last"}},  // a last line without line end is a line
      {"a\r\nb\x1A" "c\r\nd\r\n", {"a", "b"}}, {"\x1A", {}}, {"a\r\x1A", {"a\r"}},  // Ctrl-Z ends the input
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    EXPECT_EQ(ReadAll(in), c.lines) << ::testing::PrintToString(c.bytes);
  }
  // Ctrl-Z still ends the input when the stream is read again from the start.
  std::istringstream in("a\r\n\x1A" "b\r\n");
  ReadAll(in);
  in.clear();
  in.seekg(0);
  EXPECT_EQ(ReadAll(in), Lines{"a"});
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
