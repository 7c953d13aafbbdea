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

void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options) {
  std::vector<std::string> args = {folder};
  args.insert(args.end(), options.begin(), options.end());
  const RunResult made = RunProgram(MAKE_SAMPLE_GAME_EXE, args, "/");
  ASSERT_EQ(made.exitStatus, 0) << made.err;
}

FolderContent Snapshot(const std::string& dir) {
  FolderContent content;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(entry.path(), dir).generic_string();
    if (name == "editor.log") continue;
    const fs::file_status status = entry.symlink_status();
    const std::string mode = std::to_string(static_cast<int>(status.permissions())) + ":";
    if (fs::is_symlink(status)) {
      content[name] = "-> " + fs::read_symlink(entry.path()).string();
    } else if (fs::is_directory(status)) {
      content[name] = mode + "<dir>";
    } else {
      content[name] = mode + ReadFile(entry.path().string());
    }
  }
  return content;
}

void Restore(const std::string& dir, const FolderContent& content) {
  for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
  for (const auto& [name, value] : content) {  // a folder comes before what it holds
    const std::string path = dir + "/" + name;
    const std::size_t colon = value.find(':');
    if (value.compare(0, 3, "-> ") == 0) {
      fs::create_symlink(value.substr(3), path);
      continue;
    }
    if (value.compare(colon + 1, std::string::npos, "<dir>") == 0) {
      fs::create_directory(path);
    } else {
      WriteFile(path, value.substr(colon + 1));
    }
    fs::permissions(path, static_cast<fs::perms>(std::stoi(value.substr(0, colon))));
  }
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
