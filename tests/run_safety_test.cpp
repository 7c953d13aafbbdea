// A failed run leaves the folder as before it; whatever a power cut or kill leaves is undone or finished by the next
// run, which follows only a journal that this program wrote; a run begins only when it could be undone.
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "installer/crc32.h"
#include "installer/game_files.h"
#include "run_safety_fixture.h"

namespace fs = std::filesystem;
using std::string_literals::operator""s;

namespace {

using RunSafetyTest = BothBuilds<RunSafetyFolder>;
INSTANTIATE_FOR_BOTH_BUILDS(RunSafetyTest);

using FaultSweepTest = BuildAndDirectionTest;

// An I/O error in any file operation of an install or an uninstall leaves the folder as before the run (status 1)
// or, where the run could get round it (or a presence test made it refuse), as after it or as before it (status 0).
// Of the operations that the 206 databases repeat, only those of 1, 34, 35, 41, 50 and 206 (which the run treats
// apart) are taken; under the sanitizers every fourth operation, on the Windows build about 40 spread over the run,
// where the program is also killed after each of them and the next run must repair the folder.
// VANDORIL_FULL_SWEEP=1 takes every one.
TEST_P(FaultSweepTest, NothingIsLostOrLeftHalfPatched) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = TheDirection();
  const bool full = getenv("VANDORIL_FULL_SWEEP") != nullptr;
  std::vector<std::string> operations;
  for (const std::string& line : (Restore(dir_, d.before), TracedOperations(d.args)))
    if (full || IsSwept(line)) operations.push_back(line);
  const std::size_t stride = VANDORIL_SANITIZED ? 4 : buildUnderTest == kWindowsBuild && !full ? operations.size() / 40 + 1 : 1;
  std::size_t swept = 0;
  for (std::size_t i = 0; i < operations.size(); i += stride, ++swept) {
    const std::string n = Number(operations[i]), context = d.name + (" at " + operations[i]);
    if (buildUnderTest == kWindowsBuild) {  // a kill, which the power-cut test covers on the native build
      ASSERT_EQ((Restore(dir_, d.before), RunPatch(dir_, d.args, {"VANDORIL_FAULT=stop:" + n})).exitStatus, -1) << context;
      ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, "stopped, " + context));
    }
    Restore(dir_, d.before);
    const RunResult failed = RunPatch(dir_, d.args, {"VANDORIL_FAULT=fail:" + n});
    const FolderContent now = Snapshot(dir_);
    const bool archiveMoved = operations[i].find(".big art_0") != std::string::npos;  // to its backup: named
    ASSERT_TRUE(!archiveMoved || failed.err.find("could not be moved to") != std::string::npos) << context << failed.err;
    // A run whose journal or flush failed would not survive a power cut: it may not complete.  A failed lookup
    // of the journal may be got round.
    const bool fatal = (operations[i].find(" fsync ") != std::string::npos || operations[i].find(kJournalFile) != std::string::npos) &&
                       !IsLookup(operations[i]);
    if (failed.exitStatus != 1 || now.count(kJournalFile) == 0) {
      ASSERT_TRUE(failed.exitStatus == 1 ? now == d.before : !fatal && failed.exitStatus == 0 && (now == d.after || now == d.before))
          << context << ": status " << failed.exitStatus << "\n" << failed.err;
      continue;
    }
    // Once every file is on disk only deleting a backup (or its flush) can fail, and a journal that may be on disk
    // stops the run where it is: either way the journal stays for the next run.
    ASSERT_TRUE(failed.err.find("and every file is written, but") != std::string::npos ||
                failed.err.find("The run stopped there and changed nothing more") != std::string::npos) << context << failed.err;
    ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, "failed, " + context));
  }
  std::cout << d.name << ": I/O errors" << (buildUnderTest == kWindowsBuild ? " and kills" : "") << " injected at "
            << swept << " of " << operations.size() << " operations\n";
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<Build, bool>>& info) {
  const bool windows = std::get<0>(info.param) == kWindowsBuild, uninstall = std::get<1>(info.param);
  return std::string(windows ? "Windows" : "") + (uninstall ? "Uninstall" : "Install") + (windows ? "StoppedOrFailing" : "Failing");
}
INSTANTIATE_TEST_SUITE_P(InstallAndUninstall, FaultSweepTest,
                         ::testing::Combine(::testing::ValuesIn(BuildsUnderTest()), ::testing::Bool()), SweepName);

// A power cut after any file operation of an install or an uninstall (native build), and inside the roll-back of one
// that fails in each phase: every disk state that the crash model (tools/crash_states.h) draws from the run's data
// trace, every change not durable lost, every one kept (at every 32nd crash point a real kill must leave that) and
// mixtures, must be repaired (ExpectRepairedAndUsable), and one in four repairs is cut too.  The crash points and
// their counts: docs/testing.md.  VANDORIL_FULL_SWEEP=1 takes all; VANDORIL_POWER_CUT_SEED=N draws the same again.
class PowerCutTest : public RunSafetyFolder, public ::testing::WithParamInterface<bool> {};

TEST_P(PowerCutTest, EveryDiskStateIsRepaired) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[GetParam()];
  const bool full = getenv("VANDORIL_FULL_SWEEP") != nullptr;
  const unsigned seed = getenv("VANDORIL_POWER_CUT_SEED") ? std::stoul(getenv("VANDORIL_POWER_CUT_SEED")) : std::random_device()();
  SCOPED_TRACE("VANDORIL_POWER_CUT_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::set<std::size_t> checked;  // the states' hashes
  std::size_t points = 0, sampled = 0, operations = 0;
  std::vector<std::string> failures = {""};  // the run undisturbed, then failing at each point
  for (const std::string& n : PhasePoints(d)) failures.push_back("fail:" + n + ",");
  for (const std::string& failure : failures) {
    Restore(dir_, d.before), fs::remove(dir_ + ".trace");
    std::vector<std::string> variables = Traced(dir_ + ".trace");
    if (!failure.empty()) variables.push_back("VANDORIL_FAULT=" + failure.substr(0, failure.size() - 1));
    ASSERT_TRUE(RunPatch(dir_, d.args, variables).exitStatus == 0 || !failure.empty());
    const std::vector<TracedCall> calls = ParseTrace(ReadFile(dir_ + ".trace"));
    std::vector<std::string> lines, cuts;
    for (const TracedCall& call : calls) lines.push_back(TraceLine(call));
    if (!failure.empty()) cuts = Sampled(lines, std::stoul(failure.substr(5)), Count());
    CrashModel model = StartCrashModel(d.before);
    for (std::size_t i = 0; i < calls.size(); ++i) {
      ApplyCall(model, calls[i]);
      const std::string& line = lines[i];
      if (failure.empty() ? !full && (!IsSwept(line) || sampled++ % (VANDORIL_SANITIZED ? 4 : 1) != 0)
                          : std::find(cuts.begin(), cuts.end(), line) == cuts.end()) {
        continue;
      }
      if (++points % 32 == 1) {  // a real kill there leaves what the model keeps
        Restore(dir_, d.before), RunPatch(dir_, d.args, {"VANDORIL_FAULT=" + failure + "stop:" + Number(line)});
        ASSERT_TRUE(Snapshot(dir_) == CrashState(model, [] { return true; })) << "a kill after " << line;
      }
      for (int mixture = -2; mixture < (full ? 4 : 2); ++mixture) {  // -2: all lost, -1: all kept
        const auto coin = [&] { return random() % 2 == 0; };
        const FolderContent state = CrashState(model, [&] { return mixture == -1 || (mixture >= 0 && coin()); },
                                               mixture >= 0 ? coin : std::function<bool()>());
        std::string all;
        for (const auto& [name, content] : state) all += name + '\0' + content + '\0';
        if (!checked.insert(std::hash<std::string>()(all)).second) continue;
        Restore(dir_, state);
        const std::string context = std::string(d.name) + (failure.empty() ? "" : " with " + failure) + " cut after " + line +
                                    (mixture < 0 ? mixture == -1 ? ", all kept" : ", all lost" : ", mixed");
        ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(d, context, &random));
      }
    }
    operations += failure.empty() ? calls.size() : 0;
  }
  std::cout << d.name << ": " << checked.size() << " disk states of power cuts after " << points << " of "
            << operations << " operations and in roll-backs, and " << cutRepairs_ << " of cut repairs, VANDORIL_POWER_CUT_SEED=" << seed << "\n";
}
INSTANTIATE_TEST_SUITE_P(InstallAndUninstall, PowerCutTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Uninstall" : "Install"; });

// While an install is held, a second run changes nothing and says that another run works (on Windows the lock
// file is there).  A "database\bak" that cannot be removed at the end (a folder made in it meanwhile) ends the
// first run with status 1 and the journal kept; the next run finishes it.  The editor starts once the lock is gone.
TEST_P(RunSafetyTest, OneRunAtATimeAndABackupFolderThatStays) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const std::string release = dir_ + ".release";
  Restore(dir_, directions_[0].before);
  RunResult first;
  std::thread held([&] { first = RunPatch(dir_, {}, {"VANDORIL_FAULT=hold:1000:" + release}); });
  for (int i = 0; i < 3000 && !fs::exists(release + ".held"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const FolderContent whileHeld = Snapshot(dir_);
  EXPECT_EQ(whileHeld.count(kJournalFile), 1u);
  EXPECT_EQ(whileHeld.count("vandoril_06.lock"), buildUnderTest == kWindowsBuild ? 1u : 0u) << "the lock file";
  const RunResult second = RunPatch(dir_, {"/uninstall"});
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_NE(second.err.find("another run of the patch is working in this folder"), std::string::npos);
  EXPECT_NE(second.out.find("Press any key"), std::string::npos);
  EXPECT_TRUE(Snapshot(dir_) == whileHeld);
  fs::create_directories("database/bak/x");
  WriteFile(release, "");
  held.join();
  fs::remove(release), fs::remove(release + ".held");
  EXPECT_EQ(first.exitStatus, 1);
  EXPECT_NE(first.err.find("\"database\\bak\" could not be removed"), std::string::npos) << first.err;
  ASSERT_TRUE(Exists(kJournalFile));
  fs::remove("database/bak/x");
  ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(directions_[0], "database\\bak stayed"));
  if (buildUnderTest == kWindowsBuild) return;
  WriteFile("editor.exe", "#!/bin/sh\nflock -n . true && echo unlocked > editor.log\n");  // it may outlive the run
  fs::permissions("editor.exe", fs::perms::owner_all);
  EXPECT_EQ(RunPatch(dir_, {"/uninstall"}).exitStatus, 0);
  EXPECT_EQ(ReadFile("editor.log"), "unlocked\n") << "the editor starts with the folder unlocked";
}

// Folders that a run refuses (status 1, a pause) or undoes (status 1), nothing changed in or beside the folder: backups
// that no journal accounts for, a journal this program did not write, a folder or file that the run could not undo,
// a folder that cannot be written, a full disk anywhere.  A journal this program wrote is followed.
TEST_P(RunSafetyTest, FoldersThatARunRefusesOrUndoes) {
  const std::string game = dir_ + "/game", victim = dir_ + "/victim.txt";
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(game, kSmallGame));
  fs::current_path(game);
  const FolderContent pristine = Snapshot(".");
  struct Row {
    std::function<void()> spoil;
    std::string message;
    bool paused = true, unprivileged = false;
    std::string limit = "";  // of the file size (ulimit -f), which makes writes fail with EFBIG as a full disk does
  };
  std::vector<Row> rows = {
      {[] { WriteFile("art_02.bak", "old"); }, "\"art_02.bak\". Nothing was changed."},
      {[] { fs::create_directories("database/bak/x"); }, "\"database\\bak\". Nothing was changed."},
      {[] { fs::permissions("database", fs::perms::none); },
       "the folder \"database\" cannot be listed and written (access is denied", true, true},
      {[] { fs::permissions(".", fs::perms(0555)); }, "The game folder cannot be written: access is denied", false, true},
      {[] { fs::remove_all("database"), WriteFile("database", "a file"); }, "\"database\" is not a folder. Nothing was changed"},
      {[] { fs::remove("art_02.big"), fs::create_directory("art_02.big"); }, "\"art_02.big\" is a folder, not a file. Nothing was changed: the patch does not begin"},
      {[] { fs::remove("script/Results.txt"); }, "\"script/Results.txt\" was not found" + std::string(kUndone) + "error!!!", false},
      {[] { fs::remove("art_03.big"); }, "\"art_03.big\" was not found" + std::string(kUndone) + "error2!!!", false},
      // The roll-back removes the folder "database" that the run made, and only that one.
      {[] { fs::remove_all("database"); }, "\"database/countries.sav\" was not found" + std::string(kUndone) + "error!!!", false},
      {[] { fs::remove_all("database"), fs::create_directory("database"); },
       "\"database/countries.sav\" was not found" + std::string(kUndone) + "error!!!", false},
  };
  const std::string full = buildUnderTest == kWindowsBuild ? "disk full or I/O error"  // Wine's word for the size limit
                                                           : "the disk is full: free some space on it, then run the patch again";
  const auto grow = [](const char* file) { return [file] { WriteFile(file, ReadFile(file) + std::string(1 << 21, 'x') + "\r\n"); }; };
  for (const auto& [spoil, limit, failed] : std::vector<std::tuple<std::function<void()>, std::string, std::string>>{
           {[] {}, "1", "art_01.big"}, {grow("database/countries.sav"), "1024", "database/countries.sav"},
           {grow("script/Results.txt"), "1024", "script/Results.txt"},
           {grow("database/country41.sav"), "1024", "database/country34.sav"},  // 41 is written as 34
           {grow("database/country150.sav"), "1024", "database/country150.sav"},  // next: 34 missing, made by the exchange
           {[g = grow("database/country150.sav")] { fs::remove("database/country34.sav"), g(); }, "1024", "database/country150.sav"}}) {
    rows.push_back({spoil, "\nvandoril-patch: writing \"" + failed + "\" failed (" + full + ")" + kUndone, false, false, limit});
  }
  if (buildUnderTest == kNativeBuild) {  // no links to follow in a game folder on Windows
    rows.push_back({[] { fs::rename("database/country9.sav", "database/c9"), fs::create_symlink("c9", "database/country9.sav"); },
                    "\"database/bak/country9.sav\" could not be opened for reading" + std::string(kUndone), false});
  }
  const auto journalOf = [](std::vector<std::string> created) { return FormatJournal({false, StepsPhase, created, {}}); };
  const std::string valid = journalOf({"vandoril_06.dontdelete"});
  for (const std::string& text : std::vector<std::string>{
           journalOf({"../victim.txt"}), journalOf({victim}), journalOf({"..\\victim.txt"}), journalOf({"art_01.big", "editor.exe"}),
           journalOf({"art_02.big", "art_02.big"}), journalOf({"art_01.big\0x"s}), journalOf({"\tart_01.big"}),
           journalOf({std::string(20000, 'a')}), valid.substr(0, valid.size() - 2) + "0\n", "install step\n" + valid.substr(valid.find('\n') + 1),
           ""s, "\x7F\x45\x4C\x46\0\0\xFF"s, "<dir>"s, buildUnderTest == kNativeBuild ? "<link>"s : "<dir>"s}) {  // Wine follows a Unix link
    rows.push_back({[&, text] {
                      if (text == "<dir>") return fs::create_directory(kJournalFile), void();
                      if (text != "<link>") return WriteFile(kJournalFile, text);
                      WriteFile("../elsewhere", valid), fs::create_symlink("../elsewhere", kJournalFile);
                    },
                    "\"vandoril_06.journal\" is not a journal of this patch"});
  }
  WriteFile(victim, "not the game's");
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.message));
    // The superuser reads any folder: the program runs as another user then (natively; Wine runs only for the owner
    // of its prefix).
    const bool asUser = row.unprivileged && geteuid() == 0;
    if (asUser && buildUnderTest == kWindowsBuild) continue;
    // That user may not reach the build folder: the program runs from the game folder, as a player's does.
    if (asUser) fs::copy_file(VANDORIL_PATCH_EXE, "vandoril-patch");
    row.spoil();
    const FolderContent spoilt = Snapshot(".");
    ASSERT_TRUE(!asUser || std::system("chown -R 65534:65534 .") == 0);
    const RunResult run = RunPatch(".", {}, {}, asUser ? "exec setpriv --reuid=65534 --regid=65534 --clear-groups ./vandoril-patch #"
                                               : row.limit.empty() ? "" : "ulimit -f " + row.limit + " && trap '' XFSZ && exec");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Press any key") != std::string::npos, row.paused);
    EXPECT_TRUE(Snapshot(".") == spoilt);
    EXPECT_EQ(ReadFile(victim), "not the game's");
    for (const char* folder : {".", "database"})
      if (fs::is_directory(folder)) fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    Restore(".", pristine);
  }
  WriteFile(kJournalFile, valid);  // its roll-back deletes the marker that it names, and nothing else
  WriteFile(kInstallMarker, "");
  EXPECT_EQ(RunPatch(".").exitStatus, 0);
  EXPECT_TRUE(Snapshot(".") == pristine);
}

// A file missing as a run began, put back by the player after the run was stopped at one of its moves, stays through
// the repair (whether or not the run had made it empty, or had written it and recorded it in the journal), and the
// next run installs; not put back, what the run made of it is deleted.
TEST_P(RunSafetyTest, ARepairKeepsAFileThatThePlayerPutBack) {
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, kSmallGame));
  const FolderContent pristine = Snapshot(dir_);
  // Country 34 is made by the exchange after the journal names it (8th move, the journal's second write), recorded
  // (9), moved to its intermediate backup (43), its record dropped (44) and made again and recorded (45); country 5
  // is made empty by its own step, much later.
  for (const auto& [file, stops] : std::vector<std::pair<std::string, std::vector<std::size_t>>>{
           {"database/country34.sav", {2, 3, 5, 6, 9, 10, 43, 45}}, {"database/country5.sav", {2, 40, 200}},
           {"script/Results.txt", {2, 3, 5, 6}}}) {
    const std::string bytes = ReadFile(file);
    FolderContent without = pristine;
    without.erase(file);
    std::vector<std::string> moves;  // the operations with two paths
    for (const std::string& line : (fs::remove(file), TracedOperations({}, file[0] == 'd' ? 0 : 1)))
      if (std::count(line.begin(), line.end(), ' ') == 3 && line.find(" fd ") == std::string::npos) moves.push_back(line);
    for (const std::size_t move : stops) {
      for (const bool putBack : {true, false}) {
        SCOPED_TRACE(file + ", stopped at " + moves.at(move - 1) + (putBack ? ", put back" : ""));
        Restore(dir_, pristine), fs::remove(file);
        RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + Number(moves[move - 1])});
        if (putBack) WriteFile(file, bytes);
        const RunResult repair = RunPatch(dir_);
        ASSERT_TRUE(repair.exitStatus == 0 && Snapshot(dir_) == (putBack ? pristine : without))
            << Differences(Snapshot(dir_), putBack ? pristine : without) << repair.err;
      }
    }
  }
}

// Answers that the disk could not give are never taken for a missing file.  A journal that cannot be opened now is
// refused as unreadable, not as foreign, and the next run follows it.  A country 34 that an install made where none
// stood, and that its roll-back cannot read back, stays with the journal until a run can tell it.  Natively, where
// renameat2 is refused, a move by link and unlink stopped or cut by a power cut between the two is repaired.
TEST_P(RunSafetyTest, AnAnswerTheDiskCouldNotGiveIsNoMissingFile) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& install = directions_[0];
  // The number of the first open (or lookup) of `path` in `lines` after the operation `after`.
  const auto firstOpen = [&](const std::vector<std::string>& lines, const std::string& path, unsigned long after = 0,
                             bool lookup = false) {
    for (const std::string& line : lines) {
      std::istringstream words(line);
      std::string number, function, named;
      words >> number >> function >> named;
      const bool opens = function.find("open") != std::string::npos || function == "CreateFileW";
      if (std::stoul(number) > after && named == path && (lookup ? IsLookup(line) : opens)) return number;
    }
    return ADD_FAILURE() << "no open of " << path << " in the trace", std::string("0");
  };
  const std::string inTheDatabases = PhasePoints(install).at(6);
  Restore(dir_, install.before);
  RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + inTheDatabases});
  const FolderContent stopped = Snapshot(dir_);
  const std::string journalOpen = firstOpen(TracedOperations({}), kJournalFile);
  Restore(dir_, stopped);
  const RunResult unreadable = RunPatch(dir_, {}, {"VANDORIL_FAULT=fail:" + journalOpen});
  EXPECT_TRUE(unreadable.exitStatus == 1 && Snapshot(dir_) == stopped);
  EXPECT_NE(unreadable.err.find("\"vandoril_06.journal\" cannot be read now: close the programs that hold it"), std::string::npos) << unreadable.err;
  ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(install, "a journal that could not be opened once"));

  // A database's backup that cannot be opened, then a lookup of the database that fails: never taken for a
  // database that was missing, whose rewrite would go on with nothing.
  Restore(dir_, install.before);
  const std::string backupOpen = firstOpen(TracedOperations({}), "database/bak/country100.sav");
  const std::string lookup = firstOpen((Restore(dir_, install.before), TracedOperations({}, 1, {"VANDORIL_FAULT=fail:" + backupOpen})),
                                       "database/country100.sav", std::stoul(backupOpen), true);
  const RunResult twice = (Restore(dir_, install.before), RunPatch(dir_, {}, {"VANDORIL_FAULT=fail:" + backupOpen + ",fail:" + lookup}));
  EXPECT_TRUE(twice.exitStatus == 1 && Snapshot(dir_) == install.before) << twice.err;

  Restore(dir_, install.before), fs::remove("database/country34.sav");
  Direction without34 = {"install without 34", {}, Snapshot(dir_), {}, {}};
  const std::string failing = PhasePoints(without34).at(6);  // in the databases, after the exchange
  without34.after = Snapshot(dir_);
  Restore(dir_, without34.before);
  const std::string readBack = firstOpen(TracedOperations({}, 1, {"VANDORIL_FAULT=fail:" + failing}), "database/country34.sav", std::stoul(failing));
  Restore(dir_, without34.before);
  const RunResult kept = RunPatch(dir_, {}, {"VANDORIL_FAULT=fail:" + failing + ",fail:" + readBack});
  EXPECT_TRUE(kept.exitStatus == 1 && Exists(kJournalFile) && Exists("database/country34.sav")) << kept.err;
  EXPECT_NE(kept.err.find("it cannot be told whether this run made \"database/country34.sav\""), std::string::npos) << kept.err;
  ASSERT_NO_FATAL_FAILURE(ExpectSettled(without34, kept, "34 made by the run and not read back"));
  EXPECT_TRUE(Snapshot(dir_) == without34.before);
  if (buildUnderTest == kWindowsBuild) return;

  const std::string trace = dir_ + ".trace";
  std::vector<std::string> variables = Traced(trace);
  variables.push_back("VANDORIL_FAULT_NO_RENAMEAT2=1");
  ASSERT_EQ((Restore(dir_, install.before), RunPatch(dir_, {}, variables)).exitStatus, 0);
  const std::vector<TracedCall> calls = ParseTrace(ReadFile(trace));
  CrashModel model = StartCrashModel(install.before);
  std::mt19937 random(28);
  bool linked = false;  // a link waits for the unlink that ends its move
  for (std::size_t i = 0, moves = 0; i < calls.size() && moves < 12; ++i) {
    ApplyCall(model, calls[i]);
    if (calls[i].function != "link" && (calls[i].function != "unlink" || !linked)) continue;
    linked = calls[i].function == "link", ++moves;
    const std::string context = "renameat2 refused, after " + TraceLine(calls[i]);
    Restore(dir_, install.before);
    RunPatch(dir_, {}, {"VANDORIL_FAULT_NO_RENAMEAT2=1", "VANDORIL_FAULT=stop:" + std::to_string(calls[i].number)});
    ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(install, "stopped " + context));
    const auto coin = [&] { return random() % 2 == 0; };
    for (const auto& keep : std::vector<std::function<bool()>>{[] { return false; }, [] { return true; }, coin}) {
      Restore(dir_, CrashState(model, keep, coin));
      ASSERT_NO_FATAL_FAILURE(ExpectRepairedAndUsable(install, "cut " + context, &random));
    }
  }
}

// Random bytes and damaged real journals (with a checksum that fits the damage, or the old one) never crash the
// reader, and what it accepts is exactly what this program writes: names of files that a run may create, each once,
// and records of those only.
TEST(JournalReader, AcceptsOnlyWhatThisProgramWrites) {
  const std::vector<std::string> known = FilesTheRunChanges();
  const auto has = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::mt19937 random(12);
  for (int round = 0; round < 20000; ++round) {
    RunJournal written{random() % 2 == 0, random() % 2 ? StepsPhase : RemovingBackupsPhase, {}, {}}, read;
    for (const std::string& file : known) {
      if (random() % 40 == 0) written.created.push_back(file);
      if (random() % 80 == 0 && has(written.created, file)) written.written.push_back({file, random(), static_cast<std::uint32_t>(random())});
    }
    std::string text = FormatJournal(written);
    ASSERT_TRUE(ParseJournal(text, read));
    ASSERT_TRUE(read.uninstall == written.uninstall && read.phase == written.phase && read.created == written.created &&
                FormatJournal(read) == text);
    const std::size_t checksum = text.rfind("checksum ");
    std::string body = text.substr(0, checksum);
    if (round % 2 == 0) body[random() % body.size()] = static_cast<char>(random());
    if (round % 2 == 1) body.resize(random() % 80);
    for (char& c : body) c = round % 2 == 1 && random() % 3 == 0 ? "created written art_01.big 09af\n\0\x1A"[random() % 34] : c;
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(Crc32(body.data(), body.size())));
    text = body + (round % 4 == 3 ? text.substr(checksum) : "checksum " + std::string(crc) + "\n");
    if (!ParseJournal(text, read)) continue;
    ASSERT_EQ(FormatJournal(read), text) << "a journal that this program would not write";
    ASSERT_EQ(std::set<std::string>(read.created.begin(), read.created.end()).size(), read.created.size());
    for (const std::string& name : read.created) ASSERT_TRUE(has(known, name)) << name;
    std::set<std::string> recorded;
    for (const WrittenFile& file : read.written) ASSERT_TRUE(has(read.created, file.name) && recorded.insert(file.name).second);
  }
}

}  // namespace
