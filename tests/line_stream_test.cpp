#include <random>

#include "database/line_stream.h"
#include "database_test_support.h"
#include "platform/text_lines.h"
#include "test_support.h"

namespace {

class LineStreamTest : public GameFolderTest {};

// The chunked streaming must give exactly the lines and bytes of the plain
// line reader and writer, wherever the chunks happen to end.
TEST_F(LineStreamTest, GivesTheLinesAndBytesOfTheTextLineReaderForEveryChunkSize) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', 'b', '%', '\r', '\n', '\n', '\x1A'};
  for (int round = 0; round < 300; ++round) {
    std::string input;
    const int length = std::uniform_int_distribution<int>(0, 120)(random);
    for (int i = 0; i < length; ++i) {
      // Ctrl-Z rarely, so that most inputs run to their end.
      const int pick = std::uniform_int_distribution<int>(0, round % 3 == 0 ? 6 : 5)(random);
      input += alphabet[pick];
    }
    WriteFile("in", input);

    // Expected: the plain reader and writer, with 'a' turned into 'A'.
    Lines expectedLines;
    ASSERT_TRUE(OpenStepFiles("in", "expected"));
    std::string line;
    while (ReadTextLine(sharedInput, line)) {
      expectedLines.push_back(line);
      for (char& c : line) c = c == 'a' ? 'A' : c;
      WriteTextLine(sharedOutput, line);
    }
    CloseStepFiles();

    for (std::size_t chunk : {1, 2, 3, 7, 8, 9, 16, 4096}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", input " + testing::PrintToString(input));
      Lines lines;
      ASSERT_TRUE(OpenStepFiles("in", "out"));
      StreamSharedLines(
          [&lines](char* at, std::size_t size) {
            lines.emplace_back(at, size);
            for (std::size_t i = 0; i < size; ++i) at[i] = at[i] == 'a' ? 'A' : at[i];
          },
          chunk);
      CloseStepFiles();
      ASSERT_EQ(lines, expectedLines);
      ASSERT_EQ(ReadFile("out"), ReadFile("expected"));
    }
  }
}

}  // namespace
