#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text_lines.h"
#include "test_support.h"

namespace {

std::vector<std::string> ReadAll(const std::string& bytes) {
  std::istringstream in(bytes);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line)) lines.push_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextLines, LineEndsAreCrLfOrLoneLf) {
  EXPECT_EQ(ReadAll("a\r\nb\nc\r\n"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(ReadAll("\r\n\n"), (Lines{"", ""}));
  EXPECT_EQ(ReadAll(""), Lines{});
}

TEST(TextLines, CrNotFollowedByLfStaysInTheLine) {
  EXPECT_EQ(ReadAll("a\rb\r\n"), (Lines{"a\rb"}));
  EXPECT_EQ(ReadAll("a\r\r\n"), (Lines{"a\r"}));
  EXPECT_EQ(ReadAll("a\r"), (Lines{"a\r"}));
}

TEST(TextLines, LastLineWithoutLineEndIsALine) {
  EXPECT_EQ(ReadAll("a\r\nlast"), (Lines{"a", "last"}));
}

TEST(TextLines, CtrlZEndsTheInput) {
  EXPECT_EQ(ReadAll("a\r\nb\x1A" "c\r\nd\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(ReadAll("a\r\n\x1A" "b\r\n"), (Lines{"a"}));
  EXPECT_EQ(ReadAll("\x1A"), Lines{});
  EXPECT_EQ(ReadAll("a\r\x1A"), (Lines{"a\r"}));
}

TEST(TextLines, CtrlZStillEndsTheInputAfterARewind) {
  std::istringstream in("a\r\n\x1A" "b\r\n");
  std::string line;
  while (ReadTextLine(in, line)) {}
  in.clear();
  in.seekg(0);
  ASSERT_TRUE(ReadTextLine(in, line));
  EXPECT_EQ(line, "a");
  EXPECT_FALSE(ReadTextLine(in, line));
}

TEST(TextLines, EveryWrittenLineEndsInCrLf) {
  std::ostringstream out;
  WriteTextLine(out, "a");
  WriteTextLine(out, "");
  WriteTextLine(out, "b\rc");
  EXPECT_EQ(out.str(), "a\r\n\r\nb\rc\r\n");
}

TEST(TextLines, AReadErrorIsNotTheEndOfTheFile) {
  // Reading a directory fails with an I/O error on POSIX systems.
  const std::string dir = MakeTempDir();
  std::ifstream in(dir, std::ios::binary);
  if (!in.is_open()) GTEST_SKIP() << "directories cannot be opened as files here";
  std::string line;
  EXPECT_FALSE(ReadTextLine(in, line));
  EXPECT_TRUE(in.bad());
  std::filesystem::remove_all(dir);
}

}  // namespace
