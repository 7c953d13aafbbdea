// The Windows build where players keep their games: VirtualStore's shadow copies and other programs' holds on game
// files (folder names: driver_test).
#include <filesystem>
#include <thread>

#include "run_safety_fixture.h"

namespace fs = std::filesystem;

namespace {

class WindowsFolderTest : public RunSafetyFolder {
 protected:
  void SetUp() override { buildUnderTest = kWindowsBuild, RunSafetyFolder::SetUp(); }

  // A run while file-holder holds `file` without sharing for `ms` milliseconds from the run's operation `at` on.
  RunResult RunWhileHeld(const std::string& file, int ms, const std::string& at = "1") {
    const std::string signal = dir_ + ".held-by-holder";
    RunResult holder;
    std::thread holding([&] {
      holder = RunWindowsProgram(dir_, WindowsBuildFile("stand-ins/file-holder.exe"), {file, std::to_string(ms), signal});
    });
    const RunResult run = RunPatch(dir_, {}, {"VANDORIL_FAULT=hold:" + at + ":" + signal});
    holding.join();
    fs::remove(signal), fs::remove(signal + ".held");
    EXPECT_EQ(holder.exitStatus, 0) << "the holder could not hold " << file;
    return run;
  }
};

const char kInUse[] = " (the file is in use by another program: close Veldo, the editor and any program that has the file "
                      "open, then run the patch again)";

// A shadow copy of one database in this account's VirtualStore, which a game under "Program Files" reads instead of
// its own: the run changes nothing, names the file and says what to do; without it the run installs.
// Holds that a scanner or the editor puts on a game file:
// - for 1 s as the run starts, on each kind of file, or as it moves an archive (300 ms): waited out, the run completes;
// - past the retries as it moves an archive: the run is undone and says that the file is in use; past them as the
//   run starts: the run does not begin and says so;
// - on the file that a stopped run's repair puts a backup back over (which Windows refuses as access denied): 1 s is
//   waited out; past the retries the repair fails, names the file in use and keeps every backup, and once the hold
//   ends the next run completes.
TEST_F(WindowsFolderTest, ShadowCopiesAreRefusedAndHoldsWaitedOutOrReported) {
  if (BuildsUnderTest().size() < 2) GTEST_SKIP() << "no Windows build";
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[0];
  Restore(dir_, d.before);
  std::string store;
  for (const auto& user : fs::directory_iterator(VANDORIL_BUILD_DIR "/wine-prefix/drive_c/users"))
    if (user.path().filename() != "Public") store = (user.path() / "AppData/Local/VirtualStore").string() + dir_;
  WriteFile(store + "/database/country5.sav", "saved by the editor without administrator rights");
  const RunResult refused = RunPatch(dir_);
  fs::remove_all(store);
  EXPECT_TRUE(refused.exitStatus == 1 && refused.out.find("Press any key") != std::string::npos && Snapshot(dir_) == d.before);
  for (const char* text : {"VirtualStore", "\"database\\country5.sav\"", "instead of", "Move them into the game folder"})
    EXPECT_NE(refused.err.find(text), std::string::npos) << text << " in " << refused.err;

  std::string move, stop;  // the move of art_02.big; that of country2.sav, after country1.sav was rewritten
  for (const std::string& line : TracedOperations({})) {
    if (move.empty() && line.find(" art_02.big art_02.bak") != std::string::npos) move = Number(line);
    if (stop.empty() && line.find(" database\\country2.sav ") != std::string::npos) stop = Number(line);
  }
  for (const auto& [file, ms, at] : std::vector<std::tuple<std::string, int, std::string>>{
           {"art_01.big", 1000, "1"}, {"database/countries.sav", 1000, "1"}, {"script/Results.txt", 1000, "1"},
           {"database/country7.sav", 1000, "1"}, {"art_02.big", 300, move}, {"art_02.big", 3500, move},
           {"script/Results.txt", 3500, "1"}}) {
    SCOPED_TRACE(file + " held for " + std::to_string(ms) + " ms");
    Restore(dir_, d.before);
    const RunResult run = RunWhileHeld(file, ms, at);
    const std::string undone = "\"art_02.big\" could not be moved to \"art_02.bak\"" + std::string(kInUse) + kUndone;
    const std::string unread = "\"" + file + "\" cannot be read" + kInUse + ". Nothing was changed";
    EXPECT_TRUE(ms < 2000 ? run.exitStatus == 0 && run.err.empty() && Snapshot(dir_) == d.after
                          : run.exitStatus == 1 && run.err.find(at == "1" ? unread : undone) != std::string::npos &&
                                Snapshot(dir_) == d.before)
        << run.err;
  }
  ASSERT_EQ((Restore(dir_, d.before), RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + stop})).exitStatus, -1);
  const FolderContent stopped = Snapshot(dir_);
  EXPECT_TRUE(RunWhileHeld("database/country1.sav", 1000).exitStatus == 0 && Snapshot(dir_) == d.before);
  for (const char* file : {"database/country1.sav", "database/countries.sav", "script/Results.txt", "art_01.big"}) {
    SCOPED_TRACE(file);
    Restore(dir_, stopped);
    const RunResult repair = RunWhileHeld(file, 3500);
    EXPECT_TRUE(repair.exitStatus == 1 && repair.err.find("put back as \"" + std::string(file) + "\"" + kInUse) != std::string::npos)
        << repair.err;
    ASSERT_NO_FATAL_FAILURE(ExpectSettled(d, repair, std::string("held ") + file));
  }
}

}  // namespace
