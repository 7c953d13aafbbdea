// The Windows build where players keep their games: another program's brief hold on any game file, a folder whose
// name the ANSI code page cannot spell, and shadow copies of the game's files in VirtualStore.
#include <filesystem>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kSmallGame = {"--archive-kib", "8", "--database-kib", "1"};

class WindowsFolderTest : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    signal_ = dir_ + ".held-by-holder";
    if (BuildsUnderTest().size() < 2) GTEST_SKIP() << "no Windows build";
    buildUnderTest = kWindowsBuild;
    ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, kSmallGame));
    before_ = Snapshot(dir_);
  }
  void TearDown() override {
    fs::remove(signal_), fs::remove(signal_ + ".held");
    GameFolderTest::TearDown();
  }

  // Runs the program with `faults` while file-holder holds `file` without sharing for `ms` milliseconds, from the
  // moment the program reaches the traced operation `at`.
  RunResult RunWhileHeld(const std::string& file, int ms, const std::string& at, const std::vector<std::string>& args = {}) {
    fs::remove(signal_), fs::remove(signal_ + ".held");
    RunResult holder;
    std::thread holding([&] {
      holder = RunWindowsProgram(dir_, WindowsBuildFile("stand-ins/file-holder.exe"), {file, std::to_string(ms), signal_});
    });
    const RunResult run = RunPatch(dir_, args, {"VANDORIL_FAULT=hold:" + at + ":" + signal_});
    holding.join();
    EXPECT_EQ(holder.exitStatus, 0) << "the holder could not hold " << file;
    return run;
  }

  FolderContent before_;
  std::string signal_;
};

// A scanner that holds a game file for 1 s as the run starts, whichever kind of file it is, is waited out: the
// install completes.  In a stopped run's repair, a put-back over a held file (which Windows refuses with access
// denied) is waited out as well; a hold past the waits is worded as a file in use.
TEST_F(WindowsFolderTest, AHoldOnAnyGameFileIsWaitedOut) {
  ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
  const FolderContent after = Snapshot(dir_);
  for (const char* file : {"art_01.big", "database/countries.sav", "script/Results.txt", "database/country7.sav"}) {
    SCOPED_TRACE(file);
    Restore(dir_, before_);
    const RunResult run = RunWhileHeld(file, 1000, "1");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(Snapshot(dir_) == after);
  }

  Restore(dir_, before_);
  const std::string trace = dir_ + ".trace";
  RunPatch(dir_, {}, {"VANDORIL_FAULT_TRACE=" + trace});
  std::istringstream lines(ReadFile(trace));
  std::string stop;
  for (std::string line; stop.empty() && std::getline(lines, line);)
    if (line.find(" database\\country2.sav ") != std::string::npos) stop = line.substr(0, line.find(' '));
  for (const int ms : {1000, 3000}) {
    SCOPED_TRACE(ms);
    Restore(dir_, before_);
    ASSERT_EQ(RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + stop}).exitStatus, -1);
    const RunResult repair = RunWhileHeld("database/country1.sav", ms, "1");
    EXPECT_EQ(repair.exitStatus, ms == 1000 ? 0 : 1) << repair.err;
    if (ms == 1000) {
      EXPECT_TRUE(Snapshot(dir_) == before_);
    } else {
      EXPECT_NE(repair.err.find("(the file is in use by another program: close Veldo, the editor and any program that "
                                "has the file open, then run the patch again)"),
                std::string::npos)
          << repair.err;
    }
  }
}

// The players' zip in a folder named in letters outside the ANSI code page: it installs, and its uninstaller, started
// from another folder, removes the patch again, every file back as it was.
TEST_F(WindowsFolderTest, TheReleaseZipWorksInAFolderOfAnyName) {
  const std::string game = dir_ + "/Игры ёж/game";
  fs::create_directories(game);
  for (const auto& entry : fs::directory_iterator(dir_))
    if (entry.path().filename() != "Игры ёж") fs::rename(entry.path(), game / entry.path().filename());
  const std::string zip = WindowsBuildFile("package/vandoril-patch-" VANDORIL_VERSION "-win64.zip");
  ASSERT_EQ(std::system(("cd '" + game + "' && cmake -E tar xf " + zip).c_str()), 0);
  const FolderContent pristine = Snapshot(game);
  const std::vector<std::string> unicode = {"LC_ALL=C.UTF-8"};  // the names as they are on disk; Windows' code page 1252
  const RunResult install = RunWindowsProgram(game, game + "/vandoril-patch.exe", {}, unicode);
  EXPECT_EQ(install.exitStatus, 0) << install.err;
  EXPECT_TRUE(Exists(game + "/vandoril_06.dontdelete"));
  const RunResult uninstall = RunWindowsProgram(dir_, game + "/Brisco-UnInstall.exe", {}, unicode);
  EXPECT_EQ(uninstall.exitStatus, 0) << uninstall.err;
  EXPECT_EQ(uninstall.err, "");
  EXPECT_TRUE(Snapshot(game) == pristine);
}

// A shadow copy of one database in this account's VirtualStore, which a game under "Program Files" reads instead of
// its own: the run changes nothing, names the file and says what to do.  Without it the run installs.
TEST_F(WindowsFolderTest, AShadowCopyInVirtualStoreRefusesTheRun) {
  std::string local;
  for (const auto& user : fs::directory_iterator(VANDORIL_BUILD_DIR "/wine-prefix/drive_c/users"))
    if (fs::is_directory(user.path() / "AppData/Local") && user.path().filename() != "Public") local = user.path() / "AppData/Local";
  ASSERT_FALSE(local.empty());
  const std::string store = local + "/VirtualStore" + dir_;  // the game folder Z:\dev\shm\... without its drive
  WriteFile(store + "/database/country5.sav", "edited by the editor without administrator rights");
  const RunResult refused = RunPatch(dir_);
  fs::remove_all(store);
  EXPECT_EQ(refused.exitStatus, 1);
  for (const char* text : {"VirtualStore", "\"database\\country5.sav\"", "instead of", "Move them into the game folder",
                           "Nothing was changed"}) {
    EXPECT_NE(refused.err.find(text), std::string::npos) << text << " in " << refused.err;
  }
  EXPECT_NE(refused.out.find("Press any key"), std::string::npos);
  EXPECT_TRUE(Snapshot(dir_) == before_);
  EXPECT_EQ(RunPatch(dir_).exitStatus, 0);
  EXPECT_TRUE(Exists("vandoril_06.dontdelete"));
}

}  // namespace
