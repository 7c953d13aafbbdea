#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "database/country_databases.h"
#include "database_test_support.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class TransferCountryFileTest : public GameFolderTest {
 protected:
  // Runs one pass on a backup made of `bytes` and returns what it wrote.
  std::string Transfer(const TransferPass& pass, const std::string& bytes) {
    WriteFile(pass.fileRead, bytes);
    fs::remove(pass.fileWritten);
    TransferCountryFile(pass);
    return ReadFile(pass.fileWritten);
  }
};

TEST_F(TransferCountryFileTest, IdsAndCodesChangeOnlyWhereTheirSectionAndPrefixSayAsTheyStand) {
  const std::string pool = "GET_POOL, {41, POOL, 0}", newPool = "GET_POOL, {34, POOL, 0}";
  const struct {
    Lines before, after;
  } cases[] = {
      // Teams lines that begin with the code get it everywhere, field or not.
      {{"%INDEX%COMPETITION", "%INDEX%TEAMS", "29,3,29,7", "29", "290,1", "29,290", "3,29", "29,29,29"},
       {"%INDEX%COMPETITION", "%INDEX%TEAMS", "22,3,22,7", "22", "220,1", "22,220", "3,29", "22,22,22"}},
      // Competition part lines change only their leading code.
      {{"29,5,29", "%INDEX%COMPETITIONPART", "29,5,29", "%INDEXEND%COMPETITIONPART", "29,5"},
       {"29,5,29", "%INDEX%COMPETITIONPART", "22,5,29", "%INDEXEND%COMPETITIONPART", "29,5"}},
      // Competition lines, outside the teams section only.
      {{"{ 41, 2", "%INDEX%COMPETITION", "{ 41, 2", "{41, 2", " { 41, 2", "%INDEX%TEAMS", "{ 41, 2",
        "%INDEXEND%TEAMS", "{ 41, 7", "%INDEXEND%COMPETITION", "{ 41, 2"},
       {"{ 41, 2", "%INDEX%COMPETITION", "{ 34, 2", "{41, 2", " { 41, 2", "%INDEX%TEAMS", "{ 41, 2",
        "%INDEXEND%TEAMS", "{ 34, 7", "%INDEXEND%COMPETITION", "{ 41, 2"}},
      // Pool lines in every section.
      {{pool, "%INDEX%COMPETITIONPART", pool + " x", "%INDEX%COMPETITION", pool, "%INDEX%TEAMS", pool,
        "%INDEX%CLUB", pool, "GET_POOL, {41, POOL, 1}", " " + pool, "GET_POOL, {41, POOL, "},
       {newPool, "%INDEX%COMPETITIONPART", newPool + " x", "%INDEX%COMPETITION", newPool, "%INDEX%TEAMS", newPool,
        "%INDEX%CLUB", newPool, "GET_POOL, {41, POOL, 1}", " " + pool, "GET_POOL, {41, POOL, "}},
      // A teams marker outside a competition opens nothing.
      {{"%INDEX%TEAMS", "29,1", "%INDEXEND%TEAMS", "{ 41, 1"}, {"%INDEX%TEAMS", "29,1", "%INDEXEND%TEAMS", "{ 41, 1"}},
      // Competition markers are whole lines; a club marker is a prefix and
      // ends the competition until the next competition marker.
      {{"%INDEX%COMPETITION ", "{ 41, 1", "%INDEX%COMPETITION", "{ 41, 2", "%INDEX%CLUB 17", "{ 41, 3", "29,1",
        "%INDEXEND%CLUB", "{ 41, 4", "%INDEX%COMPETITION", "{ 41, 5"},
       {"%INDEX%COMPETITION ", "{ 41, 1", "%INDEX%COMPETITION", "{ 34, 2", "%INDEX%CLUB 17", "{ 41, 3", "29,1",
        "%INDEXEND%CLUB", "{ 41, 4", "%INDEX%COMPETITION", "{ 34, 5"}},
      // Each competition marker ends the other kind of section.
      {{"%INDEX%COMPETITION", "%INDEX%COMPETITIONPART", "{ 41, 1", "29", "%INDEX%COMPETITION", "29", "%INDEX%TEAMS",
        "%INDEX%COMPETITION", "29"},
       {"%INDEX%COMPETITION", "%INDEX%COMPETITIONPART", "{ 41, 1", "22", "%INDEX%COMPETITION", "29", "%INDEX%TEAMS",
        "%INDEX%COMPETITION", "29"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.back());
    EXPECT_EQ(Transfer(kPass41To34, Crlf(c.before)), Crlf(c.after));
  }
  EXPECT_EQ(Transfer(kPass41To34, "a\n\r\n\nlast"), Crlf({"a", "", "", "last"}));
  EXPECT_EQ(Transfer(kPass41To34, ""), "");
}

const Lines kCountry41 = {"GET_POOL, {41, POOL, 0}, x", "%INDEX%COMPETITIONPART", "29,5,29", "%INDEXEND%COMPETITIONPART",
                          "%INDEX%COMPETITION", "{ 41, 2", "%INDEX%TEAMS", "29,3,29,7", "3,29",
                          "%INDEXEND%TEAMS", "%INDEXEND%COMPETITION", "%INDEX%CLUB", "29", "{ 41, 1", "%INDEXEND%CLUB"};
const Lines kCountry41As34 = {"GET_POOL, {34, POOL, 0}, x", "%INDEX%COMPETITIONPART", "22,5,29",
                              "%INDEXEND%COMPETITIONPART", "%INDEX%COMPETITION", "{ 34, 2", "%INDEX%TEAMS",
                              "22,3,22,7", "3,29", "%INDEXEND%TEAMS", "%INDEXEND%COMPETITION", "%INDEX%CLUB", "29",
                              "{ 41, 1", "%INDEXEND%CLUB"};

const Lines kCountry34 = {"%INDEX%COMPETITION", "{ 34, 9", "%INDEX%TEAMS", "22,22", "%INDEXEND%TEAMS",
                          "%INDEXEND%COMPETITION"};
const Lines kCountry34As41 = {"%INDEX%COMPETITION", "{ 41, 9", "%INDEX%TEAMS", "29,29", "%INDEXEND%TEAMS",
                              "%INDEXEND%COMPETITION"};

class SwapCountryDatabasesTest : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    fs::create_directories("database/bak");
  }
  StepOutput output_;
};

TEST_F(SwapCountryDatabasesTest, TheDatabasesOf34And41ExchangeFilesAndASecondRunGivesThemBack) {
  WriteFile("database/country34.sav", Crlf(kCountry34));
  WriteFile("database/country41.sav", Crlf(kCountry41));
  output_ = RunCaptured(SwapCountryDatabases);
  EXPECT_EQ(ReadFile("database/country34.sav"), Crlf(kCountry41As34));
  EXPECT_EQ(ReadFile("database/country41.sav"), Crlf(kCountry34As41));
  EXPECT_EQ(output_.out, std::string(208, '.'));
  // The backups hold the databases as they were and as the exchange wrote them.
  EXPECT_EQ(ReadFile("database/bak/country34.sav"), Crlf(kCountry34));
  EXPECT_EQ(ReadFile("database/bak/country41.sav"), Crlf(kCountry41));
  EXPECT_EQ(ReadFile("database/bak/country34_tmp.sav"), Crlf(kCountry41As34));
  EXPECT_EQ(ReadFile("database/bak/country41_tmp.sav"), Crlf(kCountry34As41));

  fs::remove_all("database/bak");
  fs::create_directory("database/bak");
  RunCaptured(SwapCountryDatabases);
  EXPECT_EQ(ReadFile("database/country34.sav"), Crlf(kCountry34));
  EXPECT_EQ(ReadFile("database/country41.sav"), Crlf(kCountry41));
}

TEST_F(SwapCountryDatabasesTest, AnEmptyOrMissingDatabaseGivesAnEmptyFile) {
  for (bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "missing" : "empty");
    fs::remove_all("database");
    fs::create_directories("database/bak");
    WriteFile("database/country34.sav", Crlf(kCountry34));
    if (!missing) WriteFile("database/country41.sav", "");
    output_ = RunCaptured(SwapCountryDatabases);
    EXPECT_TRUE(Exists("database/country34.sav"));
    EXPECT_EQ(ReadFile("database/country34.sav"), "");
    EXPECT_EQ(ReadFile("database/country41.sav"), Crlf(kCountry34As41));
    EXPECT_EQ(output_.out, std::string(208, '.'));
  }
}

// Exchanging only one of the two files would lose the other's database.
TEST_F(SwapCountryDatabasesTest, WhenOneDatabaseCannotBeMovedNeitherIsExchanged) {
  const struct {
    const char* blocker;
    const char* stuck;
  } cases[] = {{"database/bak/country34.sav", "\"database/country34.sav\""},
               {"database/bak/country41.sav", "\"database/country41.sav\""}};
  for (const auto& c : cases) {
    const std::string blocker = c.blocker;
    SCOPED_TRACE(blocker);
    fs::remove_all("database");
    fs::create_directories("database/bak");
    WriteFile("database/country34.sav", Crlf(kCountry34));
    WriteFile("database/country41.sav", Crlf(kCountry41));
    WriteFile(blocker, "left by an earlier run\r\n");
    output_ = RunCaptured(SwapCountryDatabases);
    EXPECT_EQ(ReadFile("database/country34.sav"), Crlf(kCountry34));
    EXPECT_EQ(ReadFile("database/country41.sav"), Crlf(kCountry41));
    EXPECT_EQ(ReadFile(blocker), "left by an earlier run\r\n");
    EXPECT_NE(output_.err.find(std::string(c.stuck) + " could not be moved"), std::string::npos) << output_.err;
    EXPECT_EQ(output_.out, std::string(208, '.'));
  }
  EXPECT_FALSE(Exists("database/bak/country34.sav")) << "the database that was moved is put back";
}

TEST(WholeRun, InstallThenUninstallGivesEveryFileBack) {
#ifndef MAKE_SAMPLE_GAME_EXE
  GTEST_SKIP() << "the sample game generator is not built";
#else
  const std::string dir = MakeTempDir();
  ASSERT_EQ(RunProgram(MAKE_SAMPLE_GAME_EXE, {dir + "/game"}, dir).exitStatus, 0);
  const std::string game = dir + "/game";
  auto snapshot = [&game] {
    std::vector<std::string> files;
    files.push_back(ReadFile(game + "/database/countries.sav"));
    for (int n = 1; n <= 206; ++n) files.push_back(ReadFile(game + "/database/country" + std::to_string(n) + ".sav"));
    return files;
  };
  const std::vector<std::string> before = snapshot();

  const RunResult install = RunPatch(game);
  EXPECT_EQ(install.exitStatus, 0);
  EXPECT_EQ(install.err, "");
  EXPECT_NE(install.out.find("..." + std::string(208, '.')), std::string::npos) << install.out;
  const std::vector<std::string> installed = snapshot();
  EXPECT_NE(installed[0], before[0]) << "the two records of the country list are exchanged";
  EXPECT_NE(installed[34], before[34]);
  EXPECT_NE(installed[41], before[41]);
  EXPECT_FALSE(Exists(game + "/database/bak"));

  const RunResult uninstall = RunPatch(game, {"/uninstall"});
  EXPECT_EQ(uninstall.exitStatus, 0) << uninstall.err;
  const std::vector<std::string> after = snapshot();
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << "file " << i;
  fs::remove_all(dir);
#endif
}

}  // namespace
