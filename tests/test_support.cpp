#include "test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string MakeTempDir() {
  std::string pattern = (fs::temp_directory_path() / "vandoril-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  if (fs::path(path).has_parent_path()) fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ostringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

static std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
  const std::string capture = MakeTempDir();
  std::string command = "cd " + Quoted(dir) + " && exec " + Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  const int status = system((command + " </dev/null >" + capture + "/out 2>" + capture + "/err").c_str());
  const RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture + "/out"),
                         ReadFile(capture + "/err")};
  fs::remove_all(capture);
  return result;
}

RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args) {
  return RunProgram(VANDORIL_PATCH_EXE, args, dir);
}

void GameFolderTest::SetUp() {
  previousDir_ = fs::current_path().string();
  dir_ = MakeTempDir();
  fs::current_path(dir_);
}

void GameFolderTest::TearDown() {
  fs::current_path(previousDir_);
  std::error_code ec;
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir_, ec);
}
