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
// Runs the built vandoril-patch in `dir`.
RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args = {});

// Writes a sample game folder at the absolute path `folder` (new or empty)
// with the generator's `options`.
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
