// The text files: the plain line reader, the line streaming of the databases against it, and the steps of the
// databases, the list and the script.
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "database/country_databases.h"
#include "database/country_list.h"
#include "database/line_stream.h"
#include "database/results_script.h"
#include "platform/text_lines.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

// The lines of each part in turn, each followed by CR LF; with `side` 0 or 1, a line "a>b" stands for "a" or "b":
// before or after a step.
std::string Crlf(std::initializer_list<Lines> parts, int side = 0) {
  std::string bytes;
  for (const Lines& part : parts)
    for (const std::string& line : part) {
      const std::size_t arrow = line.find('>');
      bytes += (arrow == std::string::npos ? line : side ? line.substr(arrow + 1) : line.substr(0, arrow)) + "\r\n";
    }
  return bytes;
}

using DatabaseTest = GameFolderTest;

// As Windows text mode reads lines: the first Ctrl-Z ends the text, as if the file ended there, and the reader says
// where it is (-1: none), for the bytes from there on to be copied.
TEST(TextLines, ReadsLinesTheWayTextModeDoes) {
  const struct { std::string bytes; Lines lines; std::streamoff endMark = -1; } cases[] = {
      {"\x1A", {}, 0}, {"a\r\x1A", {"a\r"}, 2}, {"a\r\nb\x1A" "c\r\nd\r\n", {"a", "b"}, 4}, {"ab\x1A\r\n", {"ab"}, 2},
      {"a\r\n\x1A\x1A", {"a"}, 3}, {std::string("a\0\x1A", 3) + "\n", {std::string("a\0", 2)}, 2}, {"a\nb", {"a", "b"}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.bytes);
    std::pair<Lines, std::streamoff> read{{}, -1};
    for (std::string line; ReadTextLine(in, line, &read.second);) read.first.push_back(line);
    EXPECT_EQ(read, std::make_pair(c.lines, c.endMark)) << ::testing::PrintToString(c.bytes);
    EXPECT_FALSE(in.bad());
  }
}

// The chunked streaming gives the bytes of the plain line reader and writer, and calls the rewrite for exactly the
// lines it asks for (with the count of lines passed over), wherever the chunks and 64-byte blocks end; the bytes from
// the first Ctrl-Z on follow unchanged.
TEST_F(DatabaseTest, LineStreamMatchesTheTextLineReaderForEveryChunkSize) {
  const std::uint64_t kAnswers[] = {kEveryLine, kEveryLine, kEveryLine, kEveryLine, kNoLine, kNoLine, 1, 4, 7, 10};
  auto pick = [random = std::mt19937(7)](int below) mutable { return static_cast<int>(random() % below); };
  for (int round = 0; round < 200; ++round) {
    std::string input;  // short lines, mostly ended by CR LF as in the databases
    for (int lines = pick(121); lines > 0; --lines) {
      for (int length = pick(10); length > 0; --length) input += "aaaa%\r"[pick(6)];
      const int end = pick(100);
      input += end < 90 ? "\r\n" : end < 98 ? "\n" : "";
    }
    if (round % 4 == 0) input += round % 8 == 0 ? "\x1A" : "\x1A%a\n\x1A\r";
    if (round % 4 == 1) input.insert(static_cast<std::size_t>(pick(static_cast<int>(input.size()) + 1)), "\x1A");
    std::vector<std::uint64_t> answers(400);  // what the rewrite returns, call after call
    for (std::uint64_t& answer : answers) answer = kAnswers[pick(10)];
    WriteFile("in", input);
    // Expected: the plain reader and writer, with 'a' made 'A' in the lines called for.
    std::vector<std::pair<std::string, std::uint64_t>> expectedCalls, calls;
    std::istringstream in(input);
    std::ostringstream expected;
    std::uint64_t toPass = 0, passed = 0;
    std::streamoff endMark = -1;
    for (std::string line; ReadTextLine(in, line, &endMark); WriteTextLine(expected, line)) {
      if (toPass != 0 && (line.empty() || line[0] != '%')) {
        --toPass, ++passed;
        continue;
      }
      expectedCalls.emplace_back(line, passed);
      toPass = answers[expectedCalls.size() - 1];
      passed = 0;
      for (char& c : line) c = c == 'a' ? 'A' : c;
    }
    if (endMark >= 0) expected << input.substr(static_cast<std::size_t>(endMark));
    for (std::size_t chunk : {1, 7, 64, 65, 100, 4096}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", input " + testing::PrintToString(input));
      calls.clear();
      ASSERT_TRUE(OpenStepFiles("in", "out"));
      StreamSharedLines('%', [&](char* at, std::size_t size, std::uint64_t passedOver) {
        calls.emplace_back(std::string(at, size), passedOver);
        for (std::size_t i = 0; i < size; ++i) at[i] = at[i] == 'a' ? 'A' : at[i];
        return answers[calls.size() - 1];
      }, chunk);
      CloseStepFiles();
      ASSERT_EQ(calls, expectedCalls);
      ASSERT_EQ(ReadFile("out"), expected.str());
    }
  }
}

// Each row a file, "a>b" a line that the pass 41 to 34 makes "b".
TEST_F(DatabaseTest, IdsAndCodesChangeOnlyWhereTheirSectionAndPrefixSay) {
  const std::string pool = "GET_POOL, {41, POOL, 0}>GET_POOL, {34, POOL, 0}";
  const Lines cases[] = {
      {"%INDEX%COMPETITION", "%INDEX%TEAMS", "29,3,29,7>22,3,22,7", "29,290>22,220", "3,29", "{ 41, 2", pool},
      {"%INDEX%COMPETITIONPART", "29,5,29>22,5,29"}, {"29,5,29", "{ 41, 2", " " + pool.substr(0, 23), pool},
      {"%INDEX%COMPETITION", "{ 41, 2>{ 34, 2", "{41, 2", "%INDEX%TEAMS", "%INDEXEND%TEAMS", "{ 41, 2>{ 34, 2"},
      {"%INDEX%COMPETITION", "%INDEXEND%COMPETITION", "{ 41, 2"},
      {"%INDEX%CLUB", "GET_POOL, {41, POOL, 0} x>GET_POOL, {34, POOL, 0} x"},
      {"%INDEX%TEAMS", "29,1"},  // a teams marker outside a competition opens nothing
      {"%INDEX%COMPETITION ", "{ 41, 2"},  // competition markers are whole lines
      {"%INDEX%COMPETITION", "%INDEX%CLUB 17", "{ 41, 2"},  // club markers are prefixes
  };
  for (const Lines& c : cases) {
    WriteFile(kPass41To34.fileRead, Crlf({c}));
    fs::remove(kPass41To34.fileWritten);
    TransferCountryFile(kPass41To34);
    EXPECT_EQ(ReadFile(kPass41To34.fileWritten), Crlf({c}, 1)) << testing::PrintToString(c);
  }
}

// The databases of 34 and 41, "a>b" a line that the exchange makes "b" in the other's file.
const Lines k34 = {"San Marino", "%INDEX%COMPETITION", "{ 34, 1>{ 41, 1", "%INDEX%TEAMS", "22,3,22,22>29,3,29,29",
                   "%INDEXEND%TEAMS", "%INDEXEND%COMPETITION", "GET_POOL, {34, POOL, 0}>GET_POOL, {41, POOL, 0}"};
const Lines k41 = {"Niederlande", "%INDEX%COMPETITION", "{ 41, 1>{ 34, 1", "%INDEX%TEAMS", "29,3,29,29>22,3,22,22",
                   "%INDEXEND%TEAMS", "%INDEXEND%COMPETITION", "GET_POOL, {41, POOL, 0}>GET_POOL, {34, POOL, 0}"};

// Records: "34" and "41" trade places at lines 103 and 105 of a club and 7 and 8 of a player, counted from the
// marker, and nowhere else.  `at` lists the lines other than "x".
const struct {
  const char* marker;
  int length;
  std::map<int, std::string> at;
} kRecords[] = {
    {"%INDEX%CLUB", 106, {{102, "34"}, {103, "34>41"}, {104, "34"}, {105, "41>34"}, {106, "41"}}},
    {"%INDEX%PLAYER", 9, {{6, "34"}, {7, "34>41"}, {8, "41>34"}, {9, "41"}}},
    {"%INDEX%PLAYER", 8, {{7, "34 "}, {8, "034"}}},              // whole lines only
    {"%INDEX%CLUB 12", 105, {{103, "41\t"}, {105, "34>41"}}},    // markers are prefixes
    {"%INDEX%PLAYERS", 3, {}},                                   // lines after an end marker are
    {"%INDEXEND%PLAYER", 8, {{3, "34"}, {4, "41"}, {7, "34"}, {8, "41"}}},  // neither counted nor changed
    {"%INDEX%CLUB", 100, {}}, {"%INDEXEND%CLUB x", 8, {{2, "34"}, {4, "41"}}},
    {"%INDEX%CLUx", 105, {{103, "34"}, {105, "41"}}},  // a near miss opens nothing
    {"%INDEX%CLUB", 103, {{1, ""}, {20, "%INDEX%COMPETITION"}, {103, "41>34"}}},  // any other line counts
    {"%INDEX%PLAYER", 60, {{7, "34>41"}, {53, "34"}, {55, "41"}}},  // a player within a club starts anew
};

Lines Records() {
  Lines lines;
  for (const auto& record : kRecords) {
    lines.push_back(record.marker);
    for (int n = 1; n <= record.length; ++n) lines.push_back(record.at.count(n) ? record.at.at(n) : "x");
  }
  return lines;
}

TEST_F(DatabaseTest, TheDatabasesOf34And41ExchangeAndEveryDatabaseSwapsItsIds) {
  WriteFile("database/country34.sav", Crlf({k34}));
  WriteFile("database/country41.sav", Crlf({k41}));
  WriteFile("database/country7.sav", Crlf({Records()}));
  fs::create_directories("database/bak");
  EXPECT_EQ(Captured(SwapCountryDatabases).first, std::string(208, '.'));
  EXPECT_EQ(ReadFile("database/country34.sav") + ReadFile("database/country41.sav"), Crlf({k41, k34}, 1));
  EXPECT_EQ(ReadFile("database/country7.sav"), Crlf({Records()}, 1));
  EXPECT_TRUE(Exists("database/country6.sav")) << "a missing database ends up as an empty file";
}

const Lines kSan = {"San Marino", "SMR", "34", "1", "Serravalle", "end"};
const Lines kNed = {"Niederlande", "NED", "41", "9", "Amsterdam", "end"};

// Each row: the list before and after, and why it was written back unchanged (exchanging a missing or repeated
// record would drop a country).  A record is the line that begins with the name and the five lines after it.
TEST_F(DatabaseTest, TheTwoRecordsOfTheCountryListExchangePlacesAndEveryOtherLineStays) {
  const Lines sanWithNames = {"San Marino (SMR)", "Niederlande", "3", "San Marino", "5", "6"};
  const Lines notRecords = {"H", " San Marino", "san marino", "Niederland"};
  const struct { std::string before, after, problem = ""; } cases[] = {
      {Crlf({notRecords, sanWithNames, {"Malta", ""}, kNed, {"x"}}),
       Crlf({notRecords, kNed, {"Malta", ""}, sanWithNames, {"x"}})},
      {Crlf({kNed, kSan}), Crlf({kSan, kNed})},
      // The end of the file inside a record gives empty lines.
      {Crlf({{"a"}, kSan, {"b", "Niederlande", "N"}}), Crlf({{"a", "Niederlande", "N", "", "", "", "", "b"}, kSan})},
      {Crlf({{"Albanien"}}), Crlf({{"Albanien"}}), "no San Marino record and no Netherlands record"},
      {Crlf({kSan}), Crlf({kSan}), "no Netherlands record"},
      {Crlf({kSan, kNed, kSan}), Crlf({kSan, kNed, kSan}), "2 San Marino records"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    fs::remove_all("database");
    WriteFile("database/countries.sav", c.before);
    const auto [out, err] = Captured(PatchCountryList);
    EXPECT_EQ(ReadFile("database/countries.sav"), c.after);
    EXPECT_EQ(ReadFile("database/bak/countries.sav"), c.before) << "the previous list is the backup";
    EXPECT_EQ(out, c.problem.empty() ? "..." : ".");
    EXPECT_EQ(err, c.problem.empty() ? "" : "vandoril-patch: \"database/countries.sav\" has " + c.problem +
                                                " where exactly one of each is needed; the country list was left "
                                                "as it was.\n");
  }
}

// A line that begins with one of the four prefixes is replaced as a whole, whatever follows the prefix; near misses
// stay.  A dot as the step begins and one per line replaced; the backup keeps the script.
TEST_F(DatabaseTest, TheResultsScriptReplacesMatchingLinesWhole) {
  const Lines script = {
      "; results", "34 ; San_Marino>41 ; San_Marino", "", "41 ; Netherlands\t1>34 ; Netherlands\t1",
      "41 ; 34 ; 2 : 1", "34 ; Netherlands>41 ; Netherlands\t1", "34 ; Netherlands\t0>41 ; Netherlands\t1",
      "41 ; San_Marino\t7>34 ; San_Marino", "41 ; Netherlands and more>34 ; Netherlands\t1",
      "34 ; San_Marino, twice>41 ; San_Marino", " 34 ; San_Marino", "34 ; san_marino", "34 ; San Marino",
      "34 ; San_Marin", "34 ;San_Marino", "41 ; Netherland", "\t41 ; Netherlands\t1"};
  WriteFile("script/Results.txt", Crlf({script}));
  EXPECT_EQ(Captured(PatchResultsScript).first, std::string(8, '.'));
  EXPECT_EQ(ReadFile("script/Results.txt"), Crlf({script}, 1));
  EXPECT_EQ(ReadFile("script/Results.bak"), Crlf({script}));
}

}  // namespace
