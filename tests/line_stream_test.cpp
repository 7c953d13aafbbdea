#include <random>
#include <utility>
#include <vector>

#include "database/line_stream.h"
#include "platform/text_lines.h"
#include "test_support.h"

namespace {

class LineStreamTest : public GameFolderTest {};

// The chunked streaming must give the bytes of the plain line reader and
// writer, and call the rewrite for exactly the lines it asks for (with the
// count of lines passed over), wherever the chunks and 64-byte blocks end.
TEST_F(LineStreamTest, MatchesTheTextLineReaderForEveryChunkSize) {
  const std::uint64_t kAnswers[] = {kEveryLine, kEveryLine, kEveryLine, kEveryLine, kNoLine, kNoLine, 1, 4, 7, 10};
  auto pick = [random = std::mt19937(7)](int below) mutable { return static_cast<int>(random() % below); };
  for (int round = 0; round < 200; ++round) {
    // Short lines, mostly ended by CR LF as in the databases.
    std::string input;
    for (int lines = pick(121); lines > 0; --lines) {
      for (int length = pick(10); length > 0; --length) input += "aaaa%\r"[pick(6)];
      const int end = pick(100);
      input += end < 90 ? "\r\n" : end < 98 ? "\n" : "";
    }
    if (round % 4 == 0) input += "\x1A";  // dropped as the last byte
    std::vector<std::uint64_t> answers(400);  // what the rewrite returns, call after call
    for (std::uint64_t& answer : answers) answer = kAnswers[pick(10)];
    WriteFile("in", input);

    // Expected: the plain reader and writer, with 'a' rewritten to 'A' in the lines called for.
    std::vector<std::pair<std::string, std::uint64_t>> expectedCalls, calls;
    ASSERT_TRUE(OpenStepFiles("in", "expected"));
    std::uint64_t toPass = 0, passed = 0;
    for (std::string line; ReadTextLine(sharedInput, line); WriteTextLine(sharedOutput, line)) {
      if (toPass != 0 && (line.empty() || line[0] != '%')) {
        --toPass;
        ++passed;
        continue;
      }
      expectedCalls.emplace_back(line, passed);
      toPass = answers[expectedCalls.size() - 1];
      passed = 0;
      for (char& c : line) c = c == 'a' ? 'A' : c;
    }
    CloseStepFiles();

    for (std::size_t chunk : {1, 7, 64, 65, 100, 4096}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", input " + testing::PrintToString(input));
      calls.clear();
      ASSERT_TRUE(OpenStepFiles("in", "out"));
      auto rewrite = [&](char* at, std::size_t size, std::uint64_t passedOver) {
        calls.emplace_back(std::string(at, size), passedOver);
        for (std::size_t i = 0; i < size; ++i) at[i] = at[i] == 'a' ? 'A' : at[i];
        return answers[calls.size() - 1];
      };
      StreamSharedLines('%', rewrite, chunk);
      CloseStepFiles();
      ASSERT_EQ(calls, expectedCalls);
      ASSERT_EQ(ReadFile("out"), ReadFile("expected"));
    }
  }
}

// A Ctrl-Z with more bytes after it, wherever the chunks end, fails the run
// with its offset instead of cutting the file short.
TEST_F(LineStreamTest, ACtrlZBeforeTheEndFailsTheRun) {
  WriteFile("in", std::string(130, 'a') + "\r\n\x1A\r\n");
  for (std::size_t chunk : {1, 64, 132, 133, 4096}) {
    EXPECT_EXIT(
        {
          OpenStepFiles("in", "out");
          StreamSharedLines('%', [](char*, std::size_t, std::uint64_t) { return kEveryLine; }, chunk);
        },
        testing::ExitedWithCode(1), "\"in\" holds the byte Ctrl-Z \\(0x1A\\) at offset 132 with more bytes after it");
  }
}

}  // namespace
