// The fixture of the tests of failed, stopped and cut runs: a sample game installed and not, runs traced, and the
// check that a folder is repaired.
#pragma once

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "crash_states.h"
#include "installer/run_journal.h"
#include "test_support.h"

using std::string_literals::operator""s;

const char kStopped[] = "The last run of the patch was stopped before it had finished.";
const char kUndone[] = ". Nothing was changed: the run was undone and every file is as it was before it.\n";
const std::vector<std::string> kSmallGame = {"--archive-kib", "8", "--database-kib", "1"};
// Text files given bytes after a Ctrl-Z, which every run keeps as they are, and where an install puts them.
const std::tuple<const char*, const char*, std::string> kTails[] = {{"database/countries.sav", "database/countries.sav", "\x1A"},
    {"script/Results.txt", "script/Results.txt", "\x1A\r\nx\x1A\n"}, {"database/country41.sav", "database/country34.sav",
    "\x1A%INDEX%CLUB\n41\r"}, {"database/country150.sav", "database/country150.sav", "\x1A\0"s}};

// Whether a sweep takes the traced operation `line` ("N function path ..."): every one but those that the 206
// databases repeat, where only those of 1, 34, 35, 41, 50 and 206 (which the run treats apart) count.  An operation
// on a descriptor is about the last file named.
inline bool IsSwept(const std::string& line) {
  static int country = 0;
  const std::size_t at = line.find("country");
  const bool named = at != std::string::npos && std::isdigit(static_cast<unsigned char>(line[at + 7]));
  country = named ? std::stoi(line.substr(at + 7)) : line.find(" fd ") == std::string::npos ? 0 : country;
  return std::set<int>{0, 1, 34, 35, 41, 50, 206}.count(country) != 0;
}

// Whether the traced operation `line` is a lookup or a listing, which changes nothing.
inline bool IsLookup(const std::string& line) {
  std::istringstream words(line);
  std::string number, function;
  words >> number >> function;
  return std::set<std::string>{"stat", "lstat", "fstatat", "statx", "access", "faccessat", "opendir", "GetFileAttributesW",
                               "GetFileAttributesExW", "FindFirstFileW"}.count(function) != 0;
}

// A call of a data trace as a line of the plain trace: "N function path ...".
inline std::string TraceLine(const TracedCall& call) {
  std::string line = std::to_string(call.number) + " " + call.function;
  for (const std::string& word : call.words) line += " " + word;
  return line;
}

// One way of the round trip: the folder before and after a complete run with `args`.
struct Direction {
  const char* name;
  std::vector<std::string> args;
  FolderContent before, after;
  std::string repaired[2];  // the repair's message when it undid, when it finished a stopped run
};

class RunSafetyFolder : public GameFolderTest {
 protected:
  // A sample game with Ctrl-Z tails and a read-only archive, script and database (on Windows the read-only attribute),
  // installed and not.  An install rewrites every archive, the list, the script and every database, makes only the
  // marker, keeps each file's permissions and each tail, and deletes its read-only backups silently.
  void MakeDirections() {
    ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_, kSmallGame));
    for (const auto& [file, to, tail] : kTails) WriteFile(file, ReadFile(file) + tail);
    const bool windows = buildUnderTest == kWindowsBuild;
    std::filesystem::permissions("database/country34.sav", std::filesystem::perms(windows ? 0444 : 0440));
    for (const char* file : {"art_01.big", "script/Results.txt"})
      std::filesystem::permissions(file, std::filesystem::perms(windows ? 0444 : 0400));
    const FolderContent pristine = Snapshot(dir_);
    const RunResult install = RunPatch(dir_);
    ASSERT_TRUE(install.exitStatus == 0 && install.err.empty()) << install.err;
    const FolderContent installed = Snapshot(dir_);
    std::size_t changed = 0;
    for (const auto& [name, bytes] : pristine) {
      changed += installed.at(name) != bytes;
      ASSERT_EQ(installed.at(name).substr(0, 4), bytes.substr(0, 4)) << name << ": permissions";
    }
    ASSERT_EQ(changed, 3u + 2 + 206);
    for (const auto& [file, to, tail] : kTails) ASSERT_EQ(installed.at(to).substr(installed.at(to).find('\x1A')), tail) << to;
    ASSERT_EQ(installed.size(), pristine.size() + 1);
    const std::string undone = kStopped + " Every file has been put back as it was before that run: the patch is "s,
                      finished = kStopped + " It had written every file, and its backups are now removed: the patch is "s;
    directions_ = {{"install", {}, pristine, installed,
                    {undone + "not installed. To install it, run the patch again.", finished + "installed."}},
                   {"uninstall", {"/uninstall"}, installed, pristine,
                    {undone + "still installed. To remove it, run the patch again with /uninstall.", finished + "removed."}}};
  }

  // After whatever the run before left, one more run of `d.args` must leave the folder as before or after a complete
  // run, saying what it repaired and doing nothing else (natively traced: no path outside the folder), and the next
  // run must do what it does in a clean folder; with `random` a power cut in the repair must be repaired alike.
  void ExpectRepairedAndUsable(const Direction& d, const std::string& context, std::mt19937* random = nullptr) {
    SCOPED_TRACE(context);
    const FolderContent state = Snapshot(dir_);
    const std::string trace = dir_ + ".trace";
    std::filesystem::remove(trace);
    const RunResult repair = RunPatch(dir_, d.args, buildUnderTest == kNativeBuild ? Traced(trace) : std::vector<std::string>{});
    ASSERT_EQ(repair.exitStatus, 0) << repair.err;
    const FolderContent now = Snapshot(dir_);
    const bool before = now == d.before, after = now == d.after;
    ASSERT_TRUE(before || after) << "differs from the folder before the run in " << Differences(now, d.before)
                                 << "\nand from the folder after it in " << Differences(now, d.after) << "\n"
                                 << repair.out << repair.err;
    if (repair.out.find(kStopped) != std::string::npos) {
      ASSERT_EQ(repair.out, d.repaired[after] + "\nPress any key to continue . . . \n");
      ASSERT_FALSE(Exists("editor.log")) << "a repair does nothing else";
    }
    const RunResult next = RunPatch(dir_, d.args);
    ASSERT_EQ(next.exitStatus, 0) << next.err;
    ASSERT_EQ(next.out.find(kStopped), std::string::npos);
    ASSERT_TRUE(Snapshot(dir_) == (before || d.args.empty() ? d.after : d.before)) << next.err;
    if (random == nullptr || repair.out.find(kStopped) == std::string::npos || (*random)() % 4 != 0) return;
    const std::vector<TracedCall> calls = ParseTrace(ReadFile(trace));
    CrashModel model = StartCrashModel(state);
    const std::size_t cut = (*random)() % calls.size();
    for (std::size_t i = 0; i <= cut; ++i) ApplyCall(model, calls[i]);
    const auto coin = [&] { return (*random)() % 2 == 0; };
    Restore(dir_, CrashState(model, coin, coin));
    ++cutRepairs_, ExpectRepairedAndUsable(d, "the repair cut after " + std::to_string(calls[cut].number) + " " + calls[cut].function);
  }

  // The traced operations ("N function path ...") of a run with `args` (and the variables `faults`) in the folder as
  // it stands, which must end with `status`, unless that is kAnyStatus.
  static constexpr int kAnyStatus = -2;
  std::vector<std::string> TracedOperations(const std::vector<std::string>& args, int status = 0,
                                            std::vector<std::string> faults = {}) {
    faults.push_back("VANDORIL_FAULT_TRACE=" + dir_ + ".trace");
    const int exitStatus = RunPatch(dir_, args, faults).exitStatus;
    EXPECT_TRUE(status == kAnyStatus || exitStatus == status) << exitStatus;
    std::istringstream lines(ReadFile(dir_ + ".trace"));
    std::vector<std::string> operations;
    for (std::string line; std::getline(lines, line);) operations.push_back(line);
    return std::filesystem::remove(dir_ + ".trace"), operations;
  }
  static std::string Number(const std::string& operation) { return operation.substr(0, operation.find(' ')); }

  // The variables that make the program under test write its data trace to `path`.
  static std::vector<std::string> Traced(const std::string& path) {
    return {"VANDORIL_FAULT_TRACE=" + path, "VANDORIL_FAULT_TRACE_DATA=1"};
  }

  // After a disturbed run that gave `run`: undisturbed runs of `d.args` until one ends with status 0 and no journal
  // (three at most: never stuck).  Every run that said the folder is put back or the patch installed or removed was
  // right, and the folder ends as before or as after a complete run.
  void ExpectSettled(const Direction& d, RunResult run, const std::string& context) {
    SCOPED_TRACE(context);
    for (int next = 0;; ++next, run = RunPatch(dir_, d.args)) {
      const FolderContent now = Snapshot(dir_);
      const std::string said = run.out + run.err;
      const auto says = [&](const char* text) { return said.find(text) != std::string::npos; };
      ASSERT_TRUE(!(says("Every file has been put back as") || says("Nothing was changed: the run was undone")) || now == d.before) << said;
      ASSERT_TRUE(!says("its backups are now removed: the patch is") || now == d.after) << said;
      const bool settled = run.exitStatus == 0 && now.count(kJournalFile) == 0;
      ASSERT_TRUE(!settled || now == d.before || now == d.after) << said;
      if (settled) return;
      ASSERT_LT(next, 3) << "stuck: " << said;
    }
  }

  // The operations at which a run of `d` is disturbed: its first, before the journal, and the one after the first
  // that names each mark in turn (where a failure fails the run): the journal's first write, an archive, the list,
  // the script, the exchange, the databases, the journal's last write (removing the backups).
  std::vector<std::string> PhasePoints(const Direction& d) {
    const std::vector<std::string> operations = (Restore(dir_, d.before), TracedOperations(d.args));
    std::vector<std::string> points = {Number(operations.at(0))};
    std::size_t at = 0;
    for (const char* mark : {"journal.new vandoril_06.journal", " art_02.big art_02.bak", "countries.sav", "Results.bak",
                             "country41.sav", "country1.sav", "country206.sav", "journal.new vandoril_06.journal"}) {
      while (at < operations.size() && operations[at].find(mark) == std::string::npos) ++at;
      if (at + 1 < operations.size()) points.push_back(Number(operations[at + 1])), ++at;
    }
    EXPECT_EQ(points.size(), 9u) << "a phase was not found in the trace";
    return points;
  }

  // Of the traced `operations`, those after `after` that a sweep takes, `count` spread over them unless
  // VANDORIL_FULL_SWEEP is set: fewer on the Windows build and under the sanitizers (Count()).
  static std::vector<std::string> Sampled(const std::vector<std::string>& operations, unsigned long after, std::size_t count) {
    std::vector<std::string> taken, spread;
    for (const std::string& line : operations)
      if (std::stoul(Number(line)) > after && (full_ || IsSwept(line))) taken.push_back(line);
    for (std::size_t i = 0; i < count && !full_ && taken.size() > count; ++i) spread.push_back(taken[(2 * i + 1) * taken.size() / (2 * count)]);
    return full_ || taken.size() <= count ? taken : spread;
  }
  static std::size_t Count() { return buildUnderTest == kWindowsBuild ? 1 : VANDORIL_SANITIZED ? 2 : 6; }
  static inline const bool full_ = getenv("VANDORIL_FULL_SWEEP") != nullptr;

  // The names that are only in `now` (+), only in `want` (-), or differ (~); the first few.
  static std::string Differences(FolderContent now, const FolderContent& want) {
    std::string names;
    for (const auto& [name, content] : want) names += now.count(name) == 0 ? " -" + name : now[name] != content ? " ~" + name : "";
    for (const auto& [name, content] : now) names += want.count(name) == 0 ? " +" + name : "";
    return names.substr(0, 300);
  }

  std::vector<Direction> directions_;
  std::size_t cutRepairs_ = 0;
};

// The fixture of a test for each build (first) and each way of the round trip (second: the uninstall).
class BuildAndDirectionTest : public RunSafetyFolder, public ::testing::WithParamInterface<std::tuple<Build, bool>> {
 protected:
  void SetUp() override { buildUnderTest = std::get<0>(GetParam()), RunSafetyFolder::SetUp(); }
  const Direction& TheDirection() const { return directions_[std::get<1>(GetParam())]; }
};
