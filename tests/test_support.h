// Helpers of the tests: temporary folders, whole files, and runs of each build of the program in a game folder.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "crash_states.h"

// A fresh empty directory, in memory (/dev/shm) where there is one.  Whole files: WriteFile creates missing
// folders, ReadFile gives "" for a missing file.
std::string MakeTempDir();
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// What `call` writes to standard output and to standard error.
template <typename Call>
std::pair<std::string, std::string> Captured(Call call) {
  testing::internal::CaptureStdout(), testing::internal::CaptureStderr();
  call();
  std::string out = testing::internal::GetCapturedStdout();
  return {out, testing::internal::GetCapturedStderr()};
}

// The native build, and the Windows one under Wine where MinGW-w64 and Wine were found; buildUnderTest is the one
// that RunPatch and MakeSampleGame use.
enum Build { kNativeBuild, kWindowsBuild };
std::vector<Build> BuildsUnderTest();
extern Build buildUnderTest;

// Runs the program under test in `dir` with `args`, standard input from /dev/null; with `faults`
// ("VANDORIL_FAULT=stop:12") its fault-injecting variant; preceded by the shell text `wrapper`.  A kill is status
// -1; the Windows build's output is given as the native one's (LF, "pause" text).
struct RunResult {
  int exitStatus = -1;
  std::string out, err, rawOut;  // rawOut: standard output as it was
};
RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args = {},
                   const std::vector<std::string>& faults = {}, const std::string& wrapper = "");
// A file of the Windows build by its path there ("stand-ins/editor.exe").
std::string WindowsBuildFile(const std::string& name);
// Runs the Windows program `program` (a path) so, under Wine, with the settings `environment`.
RunResult RunWindowsProgram(const std::string& dir, const std::string& program, const std::vector<std::string>& args = {},
                            const std::vector<std::string>& environment = {}, const std::string& wrapper = "");

// Writes a sample game at the absolute path `folder` with the generator's `options`, with the editor stand-in of
// the build under test.
void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options = {});

// Everything under `dir` but the editor's log, as ReadFolder() gives it; Restore makes `dir` hold exactly that.
using FolderContent = FolderImage;
FolderContent Snapshot(const std::string& dir);
inline void Restore(const std::string& dir, const FolderContent& content) { WriteFolder(dir, content); }

// Each test runs in a fresh temporary directory dir_, its current directory; the file dir_ + ".trace" goes with it.
class GameFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_, previousDir_;
};

// The fixture `Base` for each build under test: TEST_P, then INSTANTIATE_FOR_BOTH_BUILDS(Fixture).
template <typename Base>
class BothBuilds : public Base, public ::testing::WithParamInterface<Build> {
 protected:
  void SetUp() override { buildUnderTest = this->GetParam(), Base::SetUp(); }
};
#define INSTANTIATE_FOR_BOTH_BUILDS(Fixture)                                       \
  INSTANTIATE_TEST_SUITE_P(Builds, Fixture, ::testing::ValuesIn(BuildsUnderTest()), \
                           [](const auto& info) { return info.param == kWindowsBuild ? "Windows" : "Native"; })
