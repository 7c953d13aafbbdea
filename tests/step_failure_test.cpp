// What a run does when a step cannot write or read its files: a full disk,
// simulated with a file-size limit, and a backup that cannot be read.  In
// every case the program ends with status 1, says which file is incomplete
// and where its previous content is, and never removes that backup.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "database/results_script.h"
#include "sample_game.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Makes every write beyond `bytes` of a file fail with EFBIG, as a full disk
// does, instead of killing the process.  Both settings are inherited by
// child processes.
void LimitFileSize(rlim_t bytes) {
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

// Runs the built program in `dir` with the file-size limit; the test process
// itself is limited only while it waits for the program.
RunResult RunPatchOnFullDisk(const std::string& dir, rlim_t bytes, const std::vector<std::string>& args = {}) {
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto savedHandler = signal(SIGXFSZ, SIG_IGN);
  LimitFileSize(bytes);
  RunResult run = RunPatch(dir, args);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedHandler);
  return run;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ManyLines(int count, const std::string& line) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + std::to_string(i) + "\r\n";
  return text;
}

using StepFailureTest = GameFolderTest;

TEST_F(StepFailureTest, FullDiskWhileRewritingTheResultsScript) {
  const std::string script = "34 ; San_Marino\r\n" + ManyLines(8000, "a line of the results script ");
  WriteFile("script/Results.txt", script);

  EXPECT_EXIT(
      {
        LimitFileSize(64 * 1024);
        PatchResultsScript();
        std::exit(0);
      },
      testing::ExitedWithCode(1), "\"script/Results\\.txt\".*\"script/Results\\.bak\"");

  EXPECT_EQ(ReadFile("script/Results.bak"), script) << "the backup keeps the previous script";
  EXPECT_LE(fs::file_size("script/Results.txt"), 64u * 1024);
}

TEST_F(StepFailureTest, AResultsBackupThatCannotBeReadLeavesTheScriptAlone) {
  const std::string script = "34 ; San_Marino\r\n41 ; Netherlands\t1\r\n";
  WriteFile("script/Results.txt", script);
  fs::create_directories("script/Results.bak");

  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1), "^error!!!$");
  EXPECT_EQ(ReadFile("script/Results.txt"), script);
  EXPECT_TRUE(fs::is_directory("script/Results.bak"));
}

#ifdef MAKE_SAMPLE_GAME_EXE

class FullRunFailureTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = MakeTempDir(); }
  void TearDown() override { fs::remove_all(root_); }

  void MakeGame(const std::vector<std::string>& options = {}) {
    dir_ = root_ + "/game";
    ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, options));
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  bool Has(const std::string& name) const { return Exists(Path(name)); }
  std::string Read(const std::string& name) const { return ReadFile(Path(name)); }

  // A run that a step stopped: status 1, no "pause", the editor not started,
  // and the install marker made before the steps still there.
  void ExpectStoppedInstall(const RunResult& run) const {
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_FALSE(Contains(run.out, "Press any key")) << run.out;
    EXPECT_FALSE(Has("editor.log"));
    EXPECT_TRUE(Has("vandoril_06.dontdelete"));
  }

  std::string root_, dir_;
};

TEST_F(FullRunFailureTest, FullDiskWhileRewritingAnArchive) {
  MakeGame();
  const std::string art01 = Read("art_01.big");

  const RunResult run = RunPatchOnFullDisk(dir_, 128 * 1024);
  ExpectStoppedInstall(run);
  EXPECT_TRUE(Contains(run.err, "art_01.big") && Contains(run.err, "art_01.bak")) << run.err;
  EXPECT_EQ(Read("art_01.bak"), art01) << "the backup keeps the previous archive";
  EXPECT_LE(fs::file_size(Path("art_01.big")), 128u * 1024);
  EXPECT_FALSE(Has("art_02.bak")) << "no later step ran";
}

TEST_F(FullRunFailureTest, FullDiskWhileRewritingACountryDatabase) {
  MakeGame({"--archive-mib", "0"});
  const std::string country7 = Read("database/country7.sav") + ManyLines(5000, "filler line ");
  WriteFile(Path("database/country7.sav"), country7);

  const RunResult run = RunPatchOnFullDisk(dir_, 64 * 1024);
  ExpectStoppedInstall(run);
  EXPECT_TRUE(Contains(run.err, "database/country7.sav") && Contains(run.err, "database/bak/country7.sav"))
      << run.err;
  EXPECT_EQ(Read("database/bak/country7.sav"), country7) << "the backup keeps the previous database";
  EXPECT_TRUE(Has("database/bak/country6.sav")) << "the backups were not removed";
  EXPECT_TRUE(Has("database/country8.sav") && !Has("database/bak/country8.sav")) << "no later database was touched";
}

TEST_F(FullRunFailureTest, FullDiskWhileExchangingTheTwoDatabases) {
  MakeGame({"--archive-mib", "0"});
  const std::string country34 = Read("database/country34.sav");
  const std::string country41 = Read("database/country41.sav") + ManyLines(5000, "filler line ");
  WriteFile(Path("database/country41.sav"), country41);

  // Writing country 41's database as the new country 34 fails.
  const RunResult run = RunPatchOnFullDisk(dir_, 64 * 1024);
  ExpectStoppedInstall(run);
  EXPECT_TRUE(Contains(run.err, "database/country34.sav")) << run.err;
  EXPECT_EQ(Read("database/bak/country34.sav"), country34);
  EXPECT_EQ(Read("database/bak/country41.sav"), country41);
  EXPECT_FALSE(Has("database/country41.sav")) << "the second pass did not run";
}

TEST_F(FullRunFailureTest, AnArchiveBackupThatCannotBeReadLeavesTheArchiveAlone) {
  MakeGame();
  const std::string art01 = Read("art_01.big");
  fs::create_directory(Path("art_01.bak"));

  const RunResult run = RunPatch(dir_);
  ExpectStoppedInstall(run);
  EXPECT_EQ(run.err, "error2!!!");
  EXPECT_EQ(Read("art_01.big"), art01);
}

TEST_F(FullRunFailureTest, AResultsBackupThatCannotBeReadStopsTheRun) {
  MakeGame();
  const std::string script = Read("script/Results.txt");
  fs::create_directory(Path("script/Results.bak"));

  const RunResult run = RunPatch(dir_);
  ExpectStoppedInstall(run);
  ASSERT_GE(run.err.size(), 8u);
  EXPECT_EQ(run.err.substr(run.err.size() - 8), "error!!!");
  EXPECT_EQ(Read("script/Results.txt"), script);
  EXPECT_TRUE(Has("art_01.bak") && Has("database/bak/countries.sav")) << "earlier backups were not removed";
}

TEST_F(FullRunFailureTest, ADatabaseLeftInPlaceIsNeverOverwritten) {
  // A folder left over in the backup folder under a database's backup name
  // makes its move fail; the database must then stay as it was.
  MakeGame();
  const std::string country7 = Read("database/country7.sav");
  fs::create_directories(Path("database/bak/country7.sav"));

  const RunResult run = RunPatch(dir_);
  EXPECT_EQ(Read("database/country7.sav"), country7);
  EXPECT_TRUE(Contains(run.err, "database/country7.sav")) << "the player is told: " << run.err;
  EXPECT_NE(Read("database/country8.sav"), "") << "the other databases are rewritten";
}

#endif  // MAKE_SAMPLE_GAME_EXE

}  // namespace
