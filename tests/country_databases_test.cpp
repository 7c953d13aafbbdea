#include <filesystem>
#include <map>
#include <string>

#include "database/country_databases.h"
#include "database_test_support.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class CountryDatabasesTest : public GameFolderTest {};

// Each row: the lines before, then a line and what the pass 41 to 34 makes of it.
TEST_F(CountryDatabasesTest, IdsAndCodesChangeOnlyWhereTheirSectionAndPrefixSay) {
  const Lines teams = {"%INDEX%COMPETITION", "%INDEX%TEAMS"}, competition = {"%INDEX%COMPETITION"};
  const std::string pool = "GET_POOL, {41, POOL, 0}", newPool = "GET_POOL, {34, POOL, 0}";
  const struct {
    Lines before;
    std::string line, after;
  } cases[] = {
      {teams, "29,3,29,7", "22,3,22,7"}, {teams, "29,290", "22,220"}, {teams, "3,29", "3,29"},
      {{"%INDEX%COMPETITIONPART"}, "29,5,29", "22,5,29"}, {{}, "29,5,29", "29,5,29"},
      {competition, "{ 41, 2", "{ 34, 2"}, {competition, "{41, 2", "{41, 2"}, {teams, "{ 41, 2", "{ 41, 2"},
      {{"%INDEX%COMPETITION", "%INDEX%TEAMS", "%INDEXEND%TEAMS"}, "{ 41, 2", "{ 34, 2"}, {{}, "{ 41, 2", "{ 41, 2"},
      {{"%INDEX%COMPETITION", "%INDEXEND%COMPETITION"}, "{ 41, 2", "{ 41, 2"}, {{}, " " + pool, " " + pool},
      {{}, pool, newPool}, {teams, pool, newPool}, {{"%INDEX%CLUB"}, pool + " x", newPool + " x"},
      {{"%INDEX%TEAMS"}, "29,1", "29,1"},  // a teams marker outside a competition opens nothing
      {{"%INDEX%COMPETITION "}, "{ 41, 2", "{ 41, 2"},  // competition markers are whole lines
      {{"%INDEX%COMPETITION", "%INDEX%CLUB 17"}, "{ 41, 2", "{ 41, 2"},  // club markers are prefixes
  };
  for (const auto& c : cases) {
    WriteFile(kPass41To34.fileRead, Crlf({c.before, {c.line}}));
    fs::remove(kPass41To34.fileWritten);
    TransferCountryFile(kPass41To34);
    EXPECT_EQ(ReadFile(kPass41To34.fileWritten), Crlf({c.before, {c.after}}));
  }
}

// A database named `name`: a competition of country `id`, a teams line beginning with `code`.
std::string Database(const std::string& name, const std::string& id, const std::string& code) {
  return Crlf({{name, "%INDEX%COMPETITION", "{ " + id + ", 1", "%INDEX%TEAMS", code + ",3," + code + "," + code,
                "%INDEXEND%TEAMS", "%INDEXEND%COMPETITION", "GET_POOL, {" + id + ", POOL, 0}"}});
}
const std::string kCountry34 = Database("San Marino", "34", "22"), kCountry41 = Database("Niederlande", "41", "29");
const std::string k41As34 = Database("Niederlande", "34", "22"), k34As41 = Database("San Marino", "41", "29");

// Records: "34" and "41" trade places at lines 103 and 105 of a club and 7 and
// 8 of a player, counted from the marker, and nowhere else.  `at` lists the
// lines other than "x", "a>b" for one that is "a" before and "b" after.
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
    {"%INDEX%CLUB", 49, {{1, ""}, {20, "%INDEX%COMPETITION"}}},  // any other line counts
    {"%INDEX%PLAYER", 60, {{7, "34>41"}, {53, "34"}, {55, "41"}}},  // a player within a club starts anew
};

std::string Records(bool after) {
  Lines lines;
  for (const auto& record : kRecords) {
    lines.push_back(record.marker);
    for (int n = 1; n <= record.length; ++n) {
      const std::string text = record.at.count(n) ? record.at.at(n) : "x";
      const std::size_t arrow = text.find('>');
      lines.push_back(arrow == std::string::npos ? text : after ? text.substr(arrow + 1) : text.substr(0, arrow));
    }
  }
  return Crlf({lines});
}

StepOutput Swap() {
  fs::remove_all("database/bak");
  fs::create_directories("database/bak");
  return RunCaptured(SwapCountryDatabases);
}

TEST_F(CountryDatabasesTest, TheDatabasesOf34And41ExchangeAndEveryDatabaseSwapsItsIds) {
  WriteFile("database/country34.sav", kCountry34);
  WriteFile("database/country41.sav", kCountry41);
  for (int n : {7, 35, 50}) WriteFile("database/country" + std::to_string(n) + ".sav", Records(false));
  EXPECT_EQ(Swap().out, std::string(208, '.'));
  EXPECT_EQ(ReadFile("database/country34.sav") + ReadFile("database/country41.sav"), k41As34 + k34As41);
  EXPECT_EQ(ReadFile("database/country7.sav"), Records(true));
  EXPECT_TRUE(Exists("database/country6.sav")) << "a missing database ends up as an empty file";
  // Every database has its backup, those of 34, 35, 41 and 50 under a second name.
  EXPECT_EQ(ReadFile("database/bak/country34.sav") + ReadFile("database/bak/country41.sav"), kCountry34 + kCountry41);
  EXPECT_EQ(ReadFile("database/bak/country34_tmp.sav") + ReadFile("database/bak/country7.sav") +
                ReadFile("database/bak/country35_tmp.sav") + ReadFile("database/bak/country50_tmp.sav"),
            k41As34 + Records(false) + Records(false) + Records(false));

  Swap();
  EXPECT_EQ(ReadFile("database/country34.sav") + ReadFile("database/country41.sav"), kCountry34 + kCountry41);
  EXPECT_EQ(ReadFile("database/country7.sav"), Records(false));

  // An empty database is exchanged as an empty file.
  WriteFile("database/country41.sav", "");
  Swap();
  EXPECT_TRUE(Exists("database/country34.sav") && ReadFile("database/country34.sav").empty());
  EXPECT_EQ(ReadFile("database/country41.sav"), k34As41);
}

// A database is written only once its content lies in its backup, and
// exchanging only one of 34 and 41 would lose the other's database: either
// fails the run, with the database untouched.  So does a backup that cannot
// be read (a link that points nowhere once it is moved).
using CountryDatabasesDeathTest = CountryDatabasesTest;
TEST_F(CountryDatabasesDeathTest, ADatabaseThatCannotBeMovedOrReadFailsTheRun) {
  const struct { std::string blocked, message; } cases[] = {
      {"database/bak/country34.sav", "\"database/country34.sav\" could not be moved"},
      {"database/bak/country41.sav", "\"database/country41.sav\" could not be moved"},
      {"database/bak/country41_tmp.sav", "\"database/country41.sav\" could not be moved"},
      {"database/bak/country7.sav", "\"database/country7.sav\" could not be moved"},
  };
  for (const auto& c : cases) {
    fs::remove_all("database");
    WriteFile("database/country34.sav", kCountry34);
    WriteFile("database/country41.sav", kCountry41);
    WriteFile("database/country7.sav", kCountry41);
    WriteFile(c.blocked, "left by an earlier run");
    EXPECT_EXIT(SwapCountryDatabases(), testing::ExitedWithCode(1), c.message + "[^\n]*\n$") << c.blocked;
    EXPECT_EQ(ReadFile(c.blocked), "left by an earlier run");
  }
  fs::remove_all("database");
  fs::create_directories("database/bak");
  fs::create_symlink("nowhere.sav", "database/country9.sav");
  EXPECT_EXIT(SwapCountryDatabases(), testing::ExitedWithCode(1), "\"database/bak/country9.sav\" could not be opened");
}

}  // namespace
