// The Windows build where players keep their games: VirtualStore's shadow copies, brief holds (folder names: driver_test).
#include <filesystem>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// A run while file-holder holds `file` without sharing for `ms` milliseconds from the run's first file operation on.
RunResult RunWhileHeld(const std::string& dir, const std::string& file, int ms) {
  const std::string signal = dir + ".held-by-holder";  // removed after each run
  RunResult holder;
  std::thread holding([&] {
    holder = RunWindowsProgram(dir, WindowsBuildFile("stand-ins/file-holder.exe"), {file, std::to_string(ms), signal});
  });
  const RunResult run = RunPatch(dir, {}, {"VANDORIL_FAULT=hold:1:" + signal});
  holding.join();
  fs::remove(signal), fs::remove(signal + ".held");
  EXPECT_EQ(holder.exitStatus, 0) << "the holder could not hold " << file;
  return run;
}

// A shadow copy of one database in this account's VirtualStore, which a game under "Program Files" reads instead of
// its own: the run changes nothing, names the file and says what to do; without it the run installs.  A scanner that
// holds a game file for 1 s as the run starts, whichever kind of file it is, is waited out: the install completes.
// So is a hold on the file that a stopped run's repair puts a backup back over (which Windows refuses as access
// denied); a longer one: second_fault_test.cpp.
TEST_F(GameFolderTest, WindowsRefusesShadowCopiesAndWaitsOutHolds) {
  if (BuildsUnderTest().size() < 2) GTEST_SKIP() << "no Windows build";
  buildUnderTest = kWindowsBuild;
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, {"--archive-kib", "8", "--database-kib", "1"}));
  const FolderContent before = Snapshot(dir_);
  std::string store;
  for (const auto& user : fs::directory_iterator(VANDORIL_BUILD_DIR "/wine-prefix/drive_c/users"))
    if (user.path().filename() != "Public") store = (user.path() / "AppData/Local/VirtualStore").string() + dir_;
  WriteFile(store + "/database/country5.sav", "saved by the editor without administrator rights");
  const RunResult refused = RunPatch(dir_);
  fs::remove_all(store);
  EXPECT_EQ(refused.exitStatus, 1);
  for (const char* text : {"VirtualStore", "\"database\\country5.sav\"", "instead of", "Move them into the game folder"})
    EXPECT_NE(refused.err.find(text), std::string::npos) << text << " in " << refused.err;
  EXPECT_NE(refused.out.find("Press any key"), std::string::npos);
  EXPECT_TRUE(Snapshot(dir_) == before);

  EXPECT_EQ(RunPatch(dir_, {}, {"VANDORIL_FAULT_TRACE=" + dir_ + ".trace"}).exitStatus, 0);
  const FolderContent after = Snapshot(dir_);
  std::istringstream lines(ReadFile(dir_ + ".trace"));
  std::string stop;  // the move of country2.sav to its backup, after country1.sav was rewritten
  for (std::string line; std::getline(lines, line) && stop.empty();)
    if (line.find(" database\\country2.sav ") != std::string::npos) stop = line.substr(0, line.find(' '));
  for (const char* file : {"art_01.big", "database/countries.sav", "script/Results.txt", "database/country7.sav"}) {
    Restore(dir_, before);
    EXPECT_EQ(RunWhileHeld(dir_, file, 1000).exitStatus, 0) << file;
    EXPECT_TRUE(Snapshot(dir_) == after) << file;
  }
  Restore(dir_, before);
  ASSERT_EQ(RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + stop}).exitStatus, -1);
  const RunResult repair = RunWhileHeld(dir_, "database/country1.sav", 1000);
  EXPECT_EQ(repair.exitStatus, 0) << repair.err;
  EXPECT_TRUE(Snapshot(dir_) == before);
}

}  // namespace
