#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "database/country_references.h"
#include "database_test_support.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// A record opened by `marker` with `length` lines "<n>" after it, except
// where `at` says otherwise (keyed by record line number).
Lines Record(const std::string& marker, int length, const std::map<int, std::string>& at) {
  Lines lines{marker};
  for (int n = 1; n <= length; ++n) lines.push_back(at.count(n) ? at.at(n) : "r" + std::to_string(n));
  return lines;
}

std::string Path(int number) { return "database/country" + std::to_string(number) + ".sav"; }

class SwapCountryReferencesTest : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    fs::create_directories("database/bak");
  }
  // Runs the stage and clears the backups for the next run.
  void Run() {
    output_ = RunCaptured(SwapCountryReferences);
    fs::remove_all("database/bak");
    fs::create_directory("database/bak");
  }
  StepOutput output_;
};

TEST_F(SwapCountryReferencesTest, IdsExchangeAtLines103And105OfAClubAnd7And8OfAPlayerOnly) {
  const Lines outside(10, "34");
  const Lines club = Record("%INDEX%CLUB", 49, {});
  const struct {
    Lines before, after;
  } cases[] = {
      {Record("%INDEX%CLUB", 110, {{102, "34"}, {103, "34"}, {104, "34"}, {105, "41"}, {106, "41"}}),
       Record("%INDEX%CLUB", 110, {{102, "34"}, {103, "41"}, {104, "34"}, {105, "34"}, {106, "41"}})},
      {Join({Record("%INDEX%PLAYER", 9, {{6, "34"}, {7, "34"}, {8, "41"}, {9, "41"}}),
             Record("%INDEX%PLAYER", 8, {{7, "41"}, {8, "34"}})}),
       Join({Record("%INDEX%PLAYER", 9, {{6, "34"}, {7, "41"}, {8, "34"}, {9, "41"}}),
             Record("%INDEX%PLAYER", 8, {{7, "34"}, {8, "41"}})})},
      // Only whole lines that are an id change.
      {Join({Record("%INDEX%PLAYER", 8, {{7, "34 "}, {8, " 34"}}), Record("%INDEX%PLAYER", 8, {{7, "034"}, {8, "342"}}),
             Record("%INDEX%CLUB", 105, {{103, "41\t"}, {105, "4"}})}),
       Join({Record("%INDEX%PLAYER", 8, {{7, "34 "}, {8, " 34"}}), Record("%INDEX%PLAYER", 8, {{7, "034"}, {8, "342"}}),
             Record("%INDEX%CLUB", 105, {{103, "41\t"}, {105, "4"}})})},
      // Markers are prefixes.
      {Join({Record("%INDEX%CLUB 12", 103, {{103, "34"}}), Record("%INDEX%PLAYERS", 8, {{8, "34"}})}),
       Join({Record("%INDEX%CLUB 12", 103, {{103, "41"}}), Record("%INDEX%PLAYERS", 8, {{8, "41"}})})},
      // A player marker at club line 50 restarts the count: the club's lines
      // 103 and 105 are the player's 53 and 55.
      {Join({club, Record("%INDEX%PLAYER", 60, {{7, "34"}, {53, "34"}, {55, "41"}})}),
       Join({club, Record("%INDEX%PLAYER", 60, {{7, "41"}, {53, "34"}, {55, "41"}})})},
      // Lines outside records are neither counted nor changed.
      {Join({outside, Record("%INDEX%PLAYER", 3, {}), {"%INDEXEND%PLAYER"}, outside, {"%INDEXEND%CLUB x"}, outside,
             Record("%INDEX%PLAYER", 8, {{8, "41"}}), {"%INDEXEND%PLAYER"}, outside}),
       Join({outside, Record("%INDEX%PLAYER", 3, {}), {"%INDEXEND%PLAYER"}, outside, {"%INDEXEND%CLUB x"}, outside,
             Record("%INDEX%PLAYER", 8, {{8, "34"}}), {"%INDEXEND%PLAYER"}, outside})},
      // Any other line inside a record counts, competition markers included.
      {Record("%INDEX%CLUB", 103, {{1, ""}, {50, "%INDEX%COMPETITION"}, {51, "%INDEXEND%TEAMS"}, {103, "34"}}),
       Record("%INDEX%CLUB", 103, {{1, ""}, {50, "%INDEX%COMPETITION"}, {51, "%INDEXEND%TEAMS"}, {103, "41"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.front());
    WriteFile(Path(7), Crlf(c.before));
    Run();
    EXPECT_EQ(ReadFile(Path(7)), Crlf(c.after));
  }
}

TEST_F(SwapCountryReferencesTest, EveryDatabaseIsMovedToItsBackupAndRewrittenWithOneDotEach) {
  for (int n = 1; n <= 206; ++n) WriteFile(Path(n), "database " + std::to_string(n) + "\n%INDEX%PLAYER\n1\n2\n3\n4\n5\n6\n34");
  const StepOutput output = RunCaptured(SwapCountryReferences);
  EXPECT_EQ(output.out, std::string(206, '.'));
  EXPECT_EQ(output.err, "");
  for (int n = 1; n <= 206; ++n) {
    const bool tmp = n == 34 || n == 35 || n == 41 || n == 50;
    const std::string base = "database/bak/country" + std::to_string(n);
    EXPECT_EQ(Exists(base + ".sav"), !tmp) << n;
    EXPECT_EQ(ReadFile(base + (tmp ? "_tmp.sav" : ".sav")),
              "database " + std::to_string(n) + "\n%INDEX%PLAYER\n1\n2\n3\n4\n5\n6\n34")
        << n;
    EXPECT_EQ(ReadFile(Path(n)), Crlf({"database " + std::to_string(n), "%INDEX%PLAYER", "1", "2", "3", "4", "5", "6",
                                       "41"}))
        << n;
  }
}

TEST_F(SwapCountryReferencesTest, ASecondRunGivesEveryDatabaseBackAndEmptyOnesStayEmpty) {
  const std::string original =
      Crlf(Join({{"head"}, Record("%INDEX%CLUB", 106, {{103, "34"}, {105, "41"}}), {"%INDEXEND%CLUB"},
                 Record("%INDEX%PLAYER", 9, {{7, "41"}, {8, "34"}}), {"%INDEXEND%PLAYER", ""}}));
  WriteFile(Path(1), original);
  WriteFile(Path(206), original);
  WriteFile(Path(5), "");
  WriteFile(Path(6), "no line end");
  Run();
  EXPECT_NE(ReadFile(Path(1)), original);
  EXPECT_EQ(ReadFile(Path(5)), "") << "an empty database stays empty";
  EXPECT_EQ(ReadFile(Path(6)), "no line end\r\n");
  EXPECT_TRUE(Exists(Path(8))) << "a missing database ends up as an empty file";
  EXPECT_EQ(ReadFile(Path(8)), "");
  Run();
  EXPECT_EQ(ReadFile(Path(1)), original);
  EXPECT_EQ(ReadFile(Path(206)), original);
}

// A database is written only once its content lies in its backup.
TEST_F(SwapCountryReferencesTest, ADatabaseThatCannotBeMovedIsLeftAsItWas) {
  const std::string database = Crlf(Record("%INDEX%PLAYER", 8, {{7, "34"}}));
  for (int n : {7, 8, 9, 35}) WriteFile(Path(n), database);
  WriteFile("database/bak/country7.sav", "left by an earlier run");
  fs::create_directory("database/bak/country9.sav");
  WriteFile("database/bak/country35_tmp.sav", "left by an earlier run");
  const StepOutput output = RunCaptured(SwapCountryReferences);
  EXPECT_EQ(output.out, std::string(206, '.'));
  const std::string& err = output.err;
  EXPECT_EQ(ReadFile(Path(7)), database);
  EXPECT_EQ(ReadFile(Path(9)), database) << "a directory under the backup name blocks the move";
  EXPECT_EQ(ReadFile(Path(35)), database);
  EXPECT_EQ(ReadFile("database/bak/country7.sav"), "left by an earlier run");
  EXPECT_NE(err.find("\"database/country7.sav\" could not be moved"), std::string::npos) << err;
  EXPECT_NE(err.find("\"database/country9.sav\" could not be moved"), std::string::npos) << err;
  EXPECT_NE(err.find("\"database/country35.sav\" could not be moved"), std::string::npos) << err;
  EXPECT_NE(ReadFile(Path(8)), database) << "the following databases are rewritten";
}

}  // namespace
