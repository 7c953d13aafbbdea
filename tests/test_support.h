// Helpers of the tests: temporary folders, whole files, and runs of each
// build of the program in a game folder.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// A fresh empty directory, in memory (/dev/shm) where there is one.
std::string MakeTempDir();
// Whole files; WriteFile creates missing folders, ReadFile gives "" for a missing file.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// The builds under test: the native one, and the Windows one under Wine
// where MinGW-w64 and Wine were found.  buildUnderTest is the one that
// RunPatch and MakeSampleGame use (set by BothBuilds, reset after each test).
enum Build { kNativeBuild, kWindowsBuild };
std::vector<Build> BuildsUnderTest();
extern Build buildUnderTest;

// A run: exit status (-1 for a kill), standard output and error, the Windows
// build's given as the native build's (LF, "pause" text) and rawOut as it was.
struct RunResult {
  int exitStatus = -1;
  std::string out, err, rawOut;
};
// Runs the program under test in `dir` with `args` and standard input from
// /dev/null; with `faults` ("VANDORIL_FAULT=stop:12") its fault-injecting
// variant; its command preceded by the shell text `wrapper` if any.
RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args = {},
                   const std::vector<std::string>& faults = {}, const std::string& wrapper = "");

// Writes a sample game at the absolute path `folder` with the generator's
// `options`, with the editor stand-in of the build under test.
void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options = {});

// Every file, folder and link under `dir` (the editor's log aside) by its
// relative path: permission bits and bytes, or "<dir>", or a link's target.
using FolderContent = std::map<std::string, std::string>;
FolderContent Snapshot(const std::string& dir);
// Makes `dir` hold exactly `content`.
void Restore(const std::string& dir, const FolderContent& content);

// Each test runs in a fresh temporary directory dir_, its current directory.
class GameFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_, previousDir_;
};

// The fixture `Base` run for each build under test: TEST_P, then INSTANTIATE_FOR_BOTH_BUILDS(Fixture).
template <typename Base>
class BothBuilds : public Base, public ::testing::WithParamInterface<Build> {
 protected:
  void SetUp() override { buildUnderTest = this->GetParam(), Base::SetUp(); }
};
using BothBuildsTest = BothBuilds<GameFolderTest>;
std::string BuildName(const ::testing::TestParamInfo<Build>& info);
#define INSTANTIATE_FOR_BOTH_BUILDS(Fixture) \
  INSTANTIATE_TEST_SUITE_P(Builds, Fixture, ::testing::ValuesIn(BuildsUnderTest()), BuildName)
