// A second fault never costs a file: a repair or a roll-back that meets an I/O error or a disk that stops answering
// leaves what the next undisturbed runs repair, and no run says more than is so (a power cut in a roll-back:
// PowerCutTest).
#include "run_safety_fixture.h"

namespace {

using SecondFaultTest = BuildAndDirectionTest;

// A run stopped in each phase, then its repair failing once at its M-th operation, or at every one from the M-th
// on; a run failing in each phase, then its roll-back failing at its M-th operation.
TEST_P(SecondFaultTest, ARepairOrARollBackThatFailsIsResumed) {
  ASSERT_NO_FATAL_FAILURE(MakeDirections());
  const Direction& d = TheDirection();
  std::size_t cases = 0;
  for (const std::string& k : PhasePoints(d)) {
    Restore(dir_, d.before);
    RunPatch(dir_, d.args, {"VANDORIL_FAULT=stop:" + k});
    const FolderContent stopped = Snapshot(dir_);
    std::vector<std::string> faults;
    for (const std::string& m : Sampled(TracedOperations(d.args), 0, Count()))
      faults.push_back("fail:" + Number(m)), faults.push_back("fail:" + Number(m) + "-");
    const std::size_t repairs = faults.size();
    // The roll-back's last flush too: one that fails may not be reported as undone.
    const std::vector<std::string> failing = (Restore(dir_, d.before), TracedOperations(d.args, kAnyStatus, {"VANDORIL_FAULT=fail:" + k}));
    std::string lastFlush;
    for (const std::string& line : failing)
      if (line.find(" fsync ") != std::string::npos && std::stoul(Number(line)) > std::stoul(k)) lastFlush = "fail:" + k + ",fail:" + Number(line);
    for (const std::string& m : Sampled(failing, std::stoul(k), Count())) faults.push_back("fail:" + k + ",fail:" + Number(m));
    if (!lastFlush.empty()) faults.push_back(lastFlush);
    for (std::size_t i = 0; i < faults.size(); ++i, ++cases) {
      Restore(dir_, i < repairs ? stopped : d.before);
      const std::string context = std::string(d.name) + (i < repairs ? " stopped at " + k + ", its repair" : "") + " with " + faults[i];
      const RunResult run = RunPatch(dir_, d.args, {"VANDORIL_FAULT=" + faults[i]});
      ASSERT_TRUE(faults[i] != lastFlush || run.err.find(kUndone) == std::string::npos) << context << run.err;
      ASSERT_NO_FATAL_FAILURE(ExpectSettled(d, run, context));
    }
  }
  std::cout << d.name << ": " << cases << " failing repairs of stopped runs and roll-backs of failed runs\n";
}

INSTANTIATE_TEST_SUITE_P(InstallAndUninstall, SecondFaultTest,
                         ::testing::Combine(::testing::ValuesIn(BuildsUnderTest()), ::testing::Bool()), [](const auto& info) {
                           return std::string(std::get<0>(info.param) == kWindowsBuild ? "Windows" : "Native") +
                                  (std::get<1>(info.param) ? "Uninstall" : "Install");
                         });

}  // namespace
