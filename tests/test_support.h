// Helpers shared by the tests: temporary game folders, file contents, and
// runs of the built executable.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// Creates a fresh empty directory under the system's temporary directory.
std::string MakeTempDir();

// Whole files, paths relative to the current directory.  WriteFile creates
// missing folders; ReadFile gives "" for a missing file.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Outcome of running a program; exitStatus is -1 when it did not exit normally.
struct RunResult {
  int exitStatus = -1;
  std::string out, err;  // standard output and standard error
};

// Runs `program` with `args` in directory `dir`, standard input from /dev/null.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& dir);

// The builds of the program that the executable tests run: the native one,
// and the Windows one under Wine where MinGW-w64 and Wine were found.
enum Build { kNativeBuild, kWindowsBuild };
std::vector<Build> BuildsUnderTest();
// The build that PatchCommand, RunPatch and MakeSampleGame use: the native
// one, unless the running test is a BothBuildsTest (or sets it itself).
extern Build buildUnderTest;

// The command that runs the program under test; with `faults` (settings
// such as "VANDORIL_FAULT=stop:12"), its variant that injects faults.
std::vector<std::string> PatchCommand(const std::vector<std::string>& faults = {});
// Runs the program under test in `dir`, its command line preceded by the
// shell text `wrapper` if any ("exec timeout -s KILL 0.5", say).  The Windows
// build's output is given as the native build's (line ends, "pause" text),
// and its stop by the fault injection (status 137) as a kill (-1).
RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args = {},
                   const std::vector<std::string>& faults = {}, const std::string& wrapper = "");

// Writes a sample game folder at the absolute path `folder` (new or empty)
// with the generator's `options`, with the editor stand-in of the build under test.
void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options = {});

// Every file, folder and link under `dir` by its path relative to `dir`: a
// file's permission bits and bytes, "<dir>" with a folder's permission bits,
// a link's target.  The editor stand-in's log is left out.
using FolderContent = std::map<std::string, std::string>;
FolderContent Snapshot(const std::string& dir);

// Makes `dir` hold exactly what `content` says (files and folders).
void Restore(const std::string& dir, const FolderContent& content);

// Each test runs in a fresh temporary directory `dir_`, which is the current
// directory while the test runs, the way the program runs in the game folder.
class GameFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_, previousDir_;
};

// The fixture `Base` (a GameFolderTest), run once for each build under test:
// its tests are TEST_P, and INSTANTIATE_FOR_BOTH_BUILDS(Fixture) follows it.
template <typename Base>
class BothBuilds : public Base, public ::testing::WithParamInterface<Build> {
 protected:
  void SetUp() override { buildUnderTest = this->GetParam(), Base::SetUp(); }
};
using BothBuildsTest = BothBuilds<GameFolderTest>;
std::string BuildName(const ::testing::TestParamInfo<Build>& info);
#define INSTANTIATE_FOR_BOTH_BUILDS(Fixture) \
  INSTANTIATE_TEST_SUITE_P(Builds, Fixture, ::testing::ValuesIn(BuildsUnderTest()), BuildName)
