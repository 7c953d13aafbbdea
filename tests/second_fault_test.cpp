// A second fault never costs a file: a repair or a roll-back that meets an I/O error, a disk that stops answering, or
// a power cut of its own leaves what the next undisturbed runs repair, and no run says more than is so.
#include <algorithm>
#include <filesystem>
#include <thread>

#include "run_safety_folder.h"

namespace fs = std::filesystem;

namespace {

// The build, an install or an uninstall.
class SecondFaultTest : public RunSafetyFolder, public ::testing::WithParamInterface<std::tuple<Build, bool>> {
 protected:
  void SetUp() override { buildUnderTest = std::get<0>(GetParam()), RunSafetyFolder::SetUp(); }

  // The operation numbers at which a run of `d` is disturbed: its first operation, before the journal, and a few
  // after the first traced one that names each of the marks in turn (the journal's first write, an archive, the
  // list, the script, the exchange, the databases, the journal's last write, which begins removing the backups).
  std::vector<std::string> PhasePoints(const Direction& d) {
    std::vector<std::string> operations = (Restore(dir_, d.before), TracedOperations(d.args));
    for (std::string& line : operations) std::replace(line.begin(), line.end(), '\\', '/');
    std::vector<std::string> points = {Number(operations.at(0))};
    std::size_t at = 0;
    for (const char* mark : {"vandoril_06.journal.new vandoril_06.journal", " art_02.big art_02.bak", "database/bak/countries.sav",
                             "script/Results.bak", "database/bak/country41.sav", "database/bak/country1.sav",
                             "database/bak/country206.sav", "vandoril_06.journal.new vandoril_06.journal"}) {
      while (at < operations.size() && operations[at].find(mark) == std::string::npos) ++at;
      if (at + 3 >= operations.size()) break;
      points.push_back(Number(operations[at + 3]));
      ++at;
    }
    EXPECT_EQ(points.size(), 9u) << "a phase was not found in the trace";
    return points;
  }

  // Of the traced `operations`, those after `after` that the sweep takes: spread over them, `count` at most unless
  // VANDORIL_FULL_SWEEP is set.
  static std::vector<std::string> Sampled(const std::vector<std::string>& operations, unsigned long after, std::size_t count) {
    std::vector<std::string> taken;
    for (const std::string& line : operations)
      if (std::stoul(Number(line)) > after && (full_ || IsSwept(line))) taken.push_back(line);
    if (full_ || taken.size() <= count) return taken;
    std::vector<std::string> spread;
    for (std::size_t i = 0; i < count; ++i) spread.push_back(taken[(2 * i + 1) * taken.size() / (2 * count)]);
    return spread;
  }

  // How many repairs or roll-backs a case takes: fewer on the Windows build and under the sanitizers.
  static std::size_t Count() { return buildUnderTest == kWindowsBuild ? 1 : VANDORIL_SANITIZED ? 2 : 6; }

  static inline const bool full_ = getenv("VANDORIL_FULL_SWEEP") != nullptr;
};

// A run stopped in each phase, then its repair failing once at its M-th operation, or at every one from the M-th on.
TEST_P(SecondFaultTest, ARepairThatFailsIsResumed) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[std::get<1>(GetParam())];
  std::size_t cases = 0;
  for (const std::string& k : PhasePoints(d)) {
    Restore(dir_, d.before);
    RunPatch(dir_, d.args, {"VANDORIL_FAULT=stop:" + k});
    const FolderContent stopped = Snapshot(dir_);
    for (const std::string& m : Sampled(TracedOperations(d.args), 0, Count())) {
      for (const char* onward : {"", "-"}) {
        Restore(dir_, stopped);
        const std::string fault = "fail:" + Number(m) + onward;
        const RunResult repair = RunPatch(dir_, d.args, {"VANDORIL_FAULT=" + fault});
        ++cases, ExpectSettled(d, repair, std::string(d.name) + " stopped at " + k + ", its repair with " + fault + " at " + m);
        if (HasFatalFailure()) return;
      }
    }
  }
  std::cout << d.name << ": " << cases << " failing repairs of stopped runs\n";
}

// A run that fails at N in each phase, whose roll-back then fails at its M-th operation.
TEST_P(SecondFaultTest, ARollBackThatFailsIsResumed) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[std::get<1>(GetParam())];
  std::size_t cases = 0;
  for (const std::string& n : PhasePoints(d)) {
    Restore(dir_, d.before);
    const std::vector<std::string> run = TracedOperations(d.args, kAnyStatus, {"VANDORIL_FAULT=fail:" + n});
    for (const std::string& m : Sampled(run, std::stoul(n), Count())) {
      Restore(dir_, d.before);
      const std::string faults = "fail:" + n + ",fail:" + Number(m);
      const RunResult failed = RunPatch(dir_, d.args, {"VANDORIL_FAULT=" + faults});
      ++cases, ExpectSettled(d, failed, std::string(d.name) + " with " + faults + " at " + m);
      if (HasFatalFailure()) return;
    }
  }
  std::cout << d.name << ": " << cases << " failing roll-backs of failed runs\n";
}

// A power cut inside the roll-back of a run that failed at N in each phase (native build: its data trace), the disk
// states of the power-cut test: every change that is not durable lost, every one kept, and one mixture.
TEST_P(SecondFaultTest, APowerCutInARollBackIsRepaired) {
  if (buildUnderTest == kWindowsBuild) GTEST_SKIP() << "the crash model reads the native build's data trace";
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[std::get<1>(GetParam())];
  std::mt19937 random(23);
  std::size_t states = 0;
  for (const std::string& n : PhasePoints(d)) {
    Restore(dir_, d.before);
    fs::remove(dir_ + ".trace");
    RunPatch(dir_, d.args, {"VANDORIL_FAULT=fail:" + n, "VANDORIL_FAULT_TRACE=" + dir_ + ".trace", "VANDORIL_FAULT_TRACE_DATA=1"});
    const std::vector<TracedCall> calls = ParseTrace(ReadFile(dir_ + ".trace"));
    std::vector<std::string> lines;
    for (const TracedCall& call : calls) {
      std::string line = std::to_string(call.number) + " " + call.function;
      for (const std::string& word : call.words) line += " " + word;
      lines.push_back(line);
    }
    std::set<std::string> cuts;
    for (const std::string& line : Sampled(lines, std::stoul(n), Count())) cuts.insert(Number(line));
    CrashModel model = StartCrashModel(d.before);
    for (std::size_t i = 0; i < calls.size(); ++i) {
      ApplyCall(model, calls[i]);
      if (cuts.count(std::to_string(calls[i].number)) == 0) continue;
      for (int mixture = -2; mixture < 1; ++mixture) {  // -2: all lost, -1: all kept
        const auto coin = [&] { return random() % 2 == 0; };
        Restore(dir_, CrashState(model, [&] { return mixture == -1 || (mixture == 0 && coin()); }, mixture == 0 ? std::function<bool()>(coin) : nullptr));
        ++states, ExpectSettled(d, RunResult{1, "", "", ""}, std::string(d.name) + " failing at " + n + ", cut after " + lines[i]);
        if (HasFatalFailure()) return;
      }
    }
  }
  std::cout << d.name << ": " << states << " disk states of power cuts in roll-backs\n";
}

// On Windows another program (a scanner, the editor) holds a file of a stopped install without sharing while its
// repair runs, past the repair's retries: the repair fails, names the file and keeps every backup; once the hold
// ends, the next run completes.
using HeldRepairTest = BothBuilds<RunSafetyFolder>;
INSTANTIATE_FOR_BOTH_BUILDS(HeldRepairTest);

TEST_P(HeldRepairTest, AFileHeldDuringTheRepairCostsNothing) {
  if (buildUnderTest != kWindowsBuild) GTEST_SKIP() << "a Windows matter";
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = directions_[0];
  std::string k;  // the install is stopped once country 1 is rewritten and country 2 moved
  for (const std::string& line : (Restore(dir_, d.before), TracedOperations({})))
    if (k.empty() && line.find("database\\country2.sav") != std::string::npos) k = Number(line);
  ASSERT_FALSE(k.empty());
  ASSERT_EQ((Restore(dir_, d.before), RunPatch(dir_, {}, {"VANDORIL_FAULT=stop:" + k})).exitStatus, -1);
  const FolderContent stopped = Snapshot(dir_);
  const std::string signal = dir_ + ".held-by-holder";
  for (const char* file : {"database/country1.sav", "database/countries.sav", "script/Results.txt", "art_01.big"}) {
    SCOPED_TRACE(file);
    Restore(dir_, stopped);
    fs::remove(signal), fs::remove(signal + ".held");
    RunResult holder;
    std::thread holding([&] { holder = RunWindowsProgram(dir_, WindowsBuildFile("stand-ins/file-holder.exe"), {file, "3500", signal}); });
    const RunResult repair = RunPatch(dir_, {}, {"VANDORIL_FAULT=hold:1:" + signal});
    holding.join();
    ASSERT_EQ(holder.exitStatus, 0) << "the holder could not hold " << file;
    EXPECT_EQ(repair.exitStatus, 1);
    const std::string inUse = "could not be put back as \"" + std::string(file) + "\" (the file is in use by another "
                              "program: close Veldo, the editor and any program that has the file open, then run the patch again)";
    EXPECT_NE(repair.err.find(inUse), std::string::npos) << repair.err;
    ASSERT_NO_FATAL_FAILURE(ExpectSettled(d, repair, std::string("held ") + file));
  }
  fs::remove(signal), fs::remove(signal + ".held");
}

std::string SecondFaultName(const ::testing::TestParamInfo<std::tuple<Build, bool>>& info) {
  return std::string(std::get<0>(info.param) == kWindowsBuild ? "Windows" : "Native") + (std::get<1>(info.param) ? "Uninstall" : "Install");
}
INSTANTIATE_TEST_SUITE_P(InstallAndUninstall, SecondFaultTest,
                         ::testing::Combine(::testing::ValuesIn(BuildsUnderTest()), ::testing::Bool()), SecondFaultName);

}  // namespace
