// The program's promise when a run cannot finish: a run that fails leaves
// the game folder exactly as before it; a run that is stopped at any instant
// (killed, window closed, power cut) is undone or finished by the next run;
// nothing is ever lost or left half patched.  Faults are injected at the
// file operations of whole runs by the fault injection library (preloaded
// into the native build, linked into a variant of the Windows build).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const char kJournal[] = "vandoril_06.journal";
const char kUndone[] = ". Nothing was changed: the run was undone and every file is as it was before it.\n";
const char kStopped[] = "The last run of the patch was stopped before it had finished.";

// What the fault library writes of a complete run of `args` on a folder
// that holds `start`, with `setting` naming the file to write.
std::string RecordRun(const std::string& dir, const FolderContent& start, const std::vector<std::string>& args,
                      const std::string& setting) {
  Restore(dir, start);
  const std::string record = dir + ".record";
  EXPECT_EQ(RunPatch(dir, args, {setting + "=" + record}).exitStatus, 0);
  const std::string recorded = ReadFile(record);
  fs::remove(record);
  return recorded;
}

// One direction of the round trip: the folder before and after a complete
// run with `args`, and the arguments of the run that goes back.
struct Direction {
  const char* name;
  std::vector<std::string> args, backArgs;
  FolderContent before, after;
};

class RunSafetyFolder : public GameFolderTest {
 protected:
  // A small sample game, installed and not.
  void MakeDirections(const std::vector<std::string>& sampleOptions) {
    ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, sampleOptions));
    const FolderContent pristine = Snapshot(dir_);
    ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
    const FolderContent installed = Snapshot(dir_);
    directions_ = {{"install", {}, {"/uninstall"}, pristine, installed},
                   {"uninstall", {"/uninstall"}, {}, installed, pristine}};
  }

  // After whatever the run before left, one more run of `d.args` must leave
  // the folder as before or after a complete run (no journal, no backup),
  // and the run after that must go the next way normally.
  void ExpectRepairedAndUsable(const Direction& d, const std::string& context) {
    SCOPED_TRACE(context);
    const RunResult repair = RunPatch(dir_, d.args);
    ASSERT_EQ(repair.exitStatus, 0) << repair.err;
    const FolderContent now = Snapshot(dir_);
    const bool before = now == d.before, after = now == d.after;
    ASSERT_TRUE(before || after) << repair.out << repair.err;
    const RunResult next = RunPatch(dir_, before ? d.args : d.backArgs);
    ASSERT_EQ(next.exitStatus, 0) << next.err;
    ASSERT_TRUE(Snapshot(dir_) == (before ? d.after : d.before)) << next.err;
  }

  std::vector<Direction> directions_;
};
using RunSafetyTest = BothBuilds<RunSafetyFolder>;
INSTANTIATE_FOR_BOTH_BUILDS(RunSafetyTest);

// The numbers of the file operations of a complete run of `args` on a
// folder that holds `start` that the sweeps take: every one, but of those
// that the 206 country databases repeat, only the ones of the first and the
// last and of 34, 35, 41 and 50, which the run treats apart.
// VANDORIL_FULL_SWEEP=1 takes every one.
std::vector<int> OperationsToSweep(const std::string& dir, const FolderContent& start,
                                   const std::vector<std::string>& args) {
  const bool full = getenv("VANDORIL_FULL_SWEEP") != nullptr;
  const std::set<int> kept = {1, 34, 35, 41, 50, 206};
  std::vector<int> operations;
  std::istringstream lines(RecordRun(dir, start, args, "VANDORIL_FAULT_TRACE"));
  int country = 0;  // the database the operations are about, 0 for none
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find("country");
    if (at != std::string::npos && std::isdigit(static_cast<unsigned char>(line[at + 7]))) {
      country = std::stoi(line.substr(at + 7));
    } else if (line.find(" fd ") == std::string::npos) {
      country = 0;
    }
    if (full || country == 0 || kept.count(country) != 0) operations.push_back(std::stoi(line));
  }
  return operations;
}

enum Fault { Stop, Failure };
struct SweepCase {
  Build build;
  bool uninstall;
  Fault fault;
};

class FaultSweepTest : public RunSafetyFolder, public ::testing::WithParamInterface<SweepCase> {
 protected:
  // Runs in memory where it can: the sweep makes thousands of runs, and what
  // it tests is the order of the operations, not the disk.
  void SetUp() override {
    buildUnderTest = GetParam().build;
    previousDir_ = fs::current_path().string();
    std::string pattern = (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string()) +
                          "/vandoril-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::current_path(dir_);
  }
};

// A kill right after any file operation of an install or an uninstall is
// repaired by the next run.  An I/O error in any of them leaves the folder
// as before the run (status 1) or, where the run could get round it (or a
// presence test made it refuse), as after it or as before it (status 0).
// Under the sanitizers every fourth operation is taken; on the Windows build,
// whose runs under Wine take longer, some 40 spread over the run, unless
// VANDORIL_FULL_SWEEP is set.
TEST_P(FaultSweepTest, NothingIsLostOrLeftHalfPatched) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections({"--archive-kib", "8", "--database-kib", "1"}));
  const Direction& d = directions_[GetParam().uninstall ? 1 : 0];
  const std::vector<int> operations = OperationsToSweep(dir_, d.before, d.args);
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t stride = 4;
#else
  const bool sampled = buildUnderTest == kWindowsBuild && getenv("VANDORIL_FULL_SWEEP") == nullptr;
  const std::size_t stride = sampled ? operations.size() / 40 + 1 : 1;
#endif
  std::size_t swept = 0;
  for (std::size_t i = 0; i < operations.size(); i += stride, ++swept) {
    const std::string n = std::to_string(operations[i]);
    const std::string context = std::string(d.name) + " at operation " + n;
    Restore(dir_, d.before);
    if (GetParam().fault == Stop) {
      const RunResult stopped = RunPatch(dir_, d.args, {"VANDORIL_FAULT=stop:" + n});
      ASSERT_EQ(stopped.exitStatus, -1) << context << ": the run was not killed";
      ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, "stopped, " + context));
      continue;
    }
    const RunResult failed = RunPatch(dir_, d.args, {"VANDORIL_FAULT=fail:" + n});
    const FolderContent now = Snapshot(dir_);
    if (failed.exitStatus == 1 && now.count(kJournal) != 0) {
      // Only deleting a backup can fail once every file is on disk: the
      // journal stays, and the next run finishes.
      ASSERT_NE(failed.err.find("could not be deleted"), std::string::npos) << context << failed.err;
      ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, "failed, " + context));
    } else {
      ASSERT_TRUE(failed.exitStatus == 1 ? now == d.before
                                         : failed.exitStatus == 0 && (now == d.after || now == d.before))
          << context << ": status " << failed.exitStatus << "\n" << failed.err;
    }
  }
  std::cout << d.name << ": " << (GetParam().fault == Stop ? "stops" : "I/O errors") << " injected at " << swept
            << " of " << operations.size() << " operations\n";
}

std::vector<SweepCase> SweepCases() {
  std::vector<SweepCase> cases;
  for (Build build : BuildsUnderTest()) {
    for (bool uninstall : {false, true}) cases.insert(cases.end(), {{build, uninstall, Stop}, {build, uninstall, Failure}});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(InstallAndUninstall, FaultSweepTest, ::testing::ValuesIn(SweepCases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                           return std::string(info.param.build == kWindowsBuild ? "Windows" : "") +
                                  (info.param.uninstall ? "Uninstall" : "Install") +
                                  (info.param.fault == Stop ? "Stopped" : "Failing");
                         });

// Kills at random instants of runs of a bigger game, and a repair that is
// itself killed: the next run always repairs.
TEST_P(RunSafetyTest, AKillAtARandomInstantIsRepaired) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections({"--archive-mib", "1", "--database-kib", "16"}));
#if defined(__SANITIZE_ADDRESS__)
  const int attempts = 2;
#else
  const int attempts = 4;
#endif
  std::mt19937 random(20261207);
  for (const Direction& d : directions_) {
    const auto started = std::chrono::steady_clock::now();
    Restore(dir_, d.before);
    ASSERT_EQ(RunPatch(dir_, d.args).exitStatus, 0);
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    for (int attempt = 0; attempt < attempts; ++attempt) {
      Restore(dir_, d.before);
      const double instant = (random() % runTime.count()) / 1e6;
      RunPatch(dir_, d.args, {}, "exec timeout -s KILL " + std::to_string(instant));
      if (attempt % 2 == 1 && fs::exists(kJournal)) {
        // The repair stopped too, after its first change.
        RunPatch(dir_, d.args, {"VANDORIL_FAULT=stop:" + std::to_string(1 + random() % 40)});
      }
      ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, std::string(d.name) + " killed"));
    }
  }
}

// A second run started while a first one works changes nothing and says so;
// the first completes as if alone.
TEST_P(RunSafetyTest, OneRunAtATime) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections({"--archive-kib", "8", "--database-kib", "1"}));
  const Direction& install = directions_[0];
  Restore(dir_, install.before);
  const std::string release = dir_ + ".release";
  std::thread first([&] {
    const RunResult run = RunPatch(dir_, {}, {"VANDORIL_FAULT=hold:1000:" + release});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
  });
  while (!fs::exists(release + ".held")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const FolderContent held = Snapshot(dir_);
  ASSERT_EQ(held.count(kJournal), 1u);
  EXPECT_EQ(held.count("vandoril_06.lock"), buildUnderTest == kWindowsBuild ? 1u : 0u) << "the lock file";
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"/uninstall"}}) {
    const RunResult second = RunPatch(dir_, args);
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("another run of the patch is working in this folder"), std::string::npos);
    EXPECT_NE(second.out.find("Press any key"), std::string::npos);
    EXPECT_TRUE(Snapshot(dir_) == held);
  }
  WriteFile(release, "");
  first.join();
  EXPECT_TRUE(Snapshot(dir_) == install.after);
  fs::remove(release);
  fs::remove(release + ".held");
}

// Folders that a run must refuse or fail on, whole, with nothing changed:
// backups that no journal accounts for, a database that cannot be read or
// is a folder, a journal that is not one, a results script that is missing.
TEST_P(RunSafetyTest, FoldersThatARunRefusesOrUndoes) {
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, {"--archive-kib", "8", "--database-kib", "1"}));
  const FolderContent pristine = Snapshot(dir_);
  struct Case {
    std::function<void()> prepare;
    std::string errEnd;
    bool paused;
  };
  std::vector<Case> cases = {
      {[] { WriteFile("art_02.bak", "old"); }, "\"art_02.bak\". Nothing was changed.", true},
      {[] { WriteFile("script/Results.bak", "old"); }, "\"script/Results.bak\". Nothing was changed.", true},
      {[] { fs::create_directories("database/bak/x"); }, "\"database\\bak\". Nothing was changed.", true},
      {[] { WriteFile(kJournal, "something else\n"); }, "is not a journal of this patch", true},
      {[] { fs::remove("database/country77.sav"), fs::create_directory("database/country77.sav"); },
       "\"database/country77.sav\" is a folder, not a file. Nothing was changed: the patch does not begin", true},
      {[] { fs::remove("script/Results.txt"); }, "\"script/Results.txt\" was not found" + std::string(kUndone) + "error!!!",
       false},
      {[] { fs::remove("art_03.big"); }, "\"art_03.big\" was not found" + std::string(kUndone) + "error2!!!", false},
  };
  if (buildUnderTest == kNativeBuild) {  // no links to follow in a game folder on Windows
    cases.push_back({[] { fs::rename("database/country9.sav", "database/c9"), fs::create_symlink("c9", "database/country9.sav"); },
                     "\"database/bak/country9.sav\" could not be opened for reading" + std::string(kUndone), false});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errEnd);
    Restore(dir_, pristine);
    c.prepare();
    const FolderContent before = Snapshot(dir_);
    const RunResult run = RunPatch(dir_);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(c.errEnd), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Press any key") != std::string::npos, c.paused);
    EXPECT_TRUE(Snapshot(dir_) == before);
  }
}

// A folder that cannot be written (made immutable, which holds even for the
// superuser): nothing changes, and the message says what to do.
TEST_P(RunSafetyTest, AFolderThatCannotBeWrittenIsSaidSo) {
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, {"--archive-kib", "8", "--database-kib", "1"}));
  const FolderContent before = Snapshot(dir_);
  if (std::system("chattr +i . 2>/dev/null") != 0) GTEST_SKIP() << "chattr +i is not available here";
  const RunResult run = RunPatch(dir_);
  std::system("chattr -i .");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.err.find("The game folder cannot be written"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Run as administrator"), std::string::npos);
  EXPECT_TRUE(Snapshot(dir_) == before);
}

// A rewritten file keeps the permissions of the file it replaces (on
// Windows its read-only attribute, which Wine shows as no write permission),
// through an install and an uninstall; after a stop, the repair says what it did.
TEST_P(RunSafetyTest, PermissionsAreKeptAndARepairSaysWhatItDid) {
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, {"--archive-kib", "8", "--database-kib", "1"}));
  const bool windows = buildUnderTest == kWindowsBuild;
  const fs::perms modes[] = {fs::perms(windows ? 0444 : 0440), fs::perms(windows ? 0444 : 0400)};
  fs::permissions("database/country34.sav", modes[0]);
  fs::permissions("art_01.big", modes[1]);
  const FolderContent pristine = Snapshot(dir_);
  ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
  EXPECT_EQ(fs::status("database/country34.sav").permissions(), modes[0]);
  EXPECT_EQ(fs::status("art_01.big").permissions(), modes[1]);
  const FolderContent installed = Snapshot(dir_);
  ASSERT_EQ(RunPatch(dir_, {"/uninstall"}).exitStatus, 0);
  EXPECT_TRUE(Snapshot(dir_) == pristine);

  // Stopped while writing databases, then once the first backup is deleted.
  const std::string trace = RecordRun(dir_, pristine, {}, "VANDORIL_FAULT_TRACE");
  const int operations = std::count(trace.begin(), trace.end(), '\n');
  const int backupDeleted = std::stoi(trace.substr(trace.rfind('\n', trace.rfind("art_01.bak")) + 1));
  const struct { const FolderContent& start; std::vector<std::string> args; int stop; std::string out; } cases[] = {
      {pristine, {}, operations / 2,
       std::string(kStopped) + " Every file has been put back as it was before that run: the patch is not installed. "
                               "To install it, run the patch again.\n"},
      {installed, {"/uninstall"}, operations / 2,
       std::string(kStopped) + " Every file has been put back as it was before that run: the patch is still "
                               "installed. To remove it, run the patch again with /uninstall.\n"},
      {pristine, {}, backupDeleted,
       std::string(kStopped) + " It had written every file, and its backups are now removed: the patch is installed.\n"},
  };
  for (const auto& c : cases) {
    Restore(dir_, c.start);
    ASSERT_EQ(RunPatch(dir_, c.args, {"VANDORIL_FAULT=stop:" + std::to_string(c.stop)}).exitStatus, -1);
    const RunResult repair = RunPatch(dir_, c.args);
    EXPECT_EQ(repair.exitStatus, 0);
    EXPECT_EQ(repair.out, c.out + "Press any key to continue . . . \n");
    EXPECT_FALSE(Exists("editor.log")) << "a repair does nothing else";
  }
  EXPECT_TRUE(Snapshot(dir_) == installed);
}

}  // namespace
