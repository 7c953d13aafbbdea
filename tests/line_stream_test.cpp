#include <random>

#include "database/line_stream.h"
#include "database_test_support.h"
#include "platform/text_lines.h"
#include "test_support.h"

namespace {

class LineStreamTest : public GameFolderTest {};

struct Call {
  std::string line;
  std::uint64_t passed;
  bool operator==(const Call& other) const { return line == other.line && passed == other.passed; }
};

// The chunked streaming must give the bytes of the plain line reader and
// writer, and call the rewrite for exactly the lines it asked for, wherever
// the chunks and the 64-byte blocks happen to end.
TEST_F(LineStreamTest, MatchesTheTextLineReaderForEveryChunkSize) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    // Lines of a few bytes, mostly ended by CR LF as in the databases.
    std::string input;
    const int lines = std::uniform_int_distribution<int>(0, 120)(random);
    for (int i = 0; i < lines; ++i) {
      const int length = std::uniform_int_distribution<int>(0, 9)(random);
      for (int j = 0; j < length; ++j) input += "aaaa%\r"[std::uniform_int_distribution<int>(0, 5)(random)];
      const int end = std::uniform_int_distribution<int>(0, 99)(random);
      input += end < 90 ? "\r\n" : end < 98 ? "\n" : round % 4 == 0 ? "\x1A" : "";
    }
    std::vector<std::uint64_t> answers;  // what the rewrite returns, call after call
    for (int i = 0; i < 400; ++i) {
      const int pick = std::uniform_int_distribution<int>(0, 9)(random);
      answers.push_back(pick < 4 ? kEveryLine : pick < 6 ? kNoLine : static_cast<std::uint64_t>(pick) * 3 - 17);
    }
    WriteFile("in", input);

    // Expected: the plain reader and writer, with the lines that are called
    // for rewritten 'a' to 'A'.
    std::vector<Call> expectedCalls;
    ASSERT_TRUE(OpenStepFiles("in", "expected"));
    std::string line;
    std::uint64_t toPass = 0, passed = 0;
    while (ReadTextLine(sharedInput, line)) {
      if (toPass == 0 || (!line.empty() && line[0] == '%')) {
        expectedCalls.push_back({line, passed});
        toPass = answers[expectedCalls.size() - 1];
        passed = 0;
        for (char& c : line) c = c == 'a' ? 'A' : c;
      } else {
        --toPass;
        ++passed;
      }
      WriteTextLine(sharedOutput, line);
    }
    CloseStepFiles();

    for (std::size_t chunk : {1, 7, 64, 65, 100, 4096}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", input " + testing::PrintToString(input));
      std::vector<Call> calls;
      ASSERT_TRUE(OpenStepFiles("in", "out"));
      StreamSharedLines(
          '%',
          [&](char* at, std::size_t size, std::uint64_t passedOver) {
            calls.push_back({std::string(at, size), passedOver});
            for (std::size_t i = 0; i < size; ++i) at[i] = at[i] == 'a' ? 'A' : at[i];
            return answers[calls.size() - 1];
          },
          chunk);
      CloseStepFiles();
      ASSERT_EQ(calls, expectedCalls);
      ASSERT_EQ(ReadFile("out"), ReadFile("expected"));
    }
  }
}

}  // namespace
