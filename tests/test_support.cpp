#include "test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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

Build buildUnderTest = kNativeBuild;

std::string BuildName(const ::testing::TestParamInfo<Build>& info) {
  return info.param == kWindowsBuild ? "Windows" : "Native";
}

#ifdef VANDORIL_WINDOWS_DIR
std::vector<Build> BuildsUnderTest() { return {kNativeBuild, kWindowsBuild}; }

// Wine, quiet and without windows, in the prefix that the build made, with
// address space randomisation off: this Wine has no preloader, and about one
// new process in a couple of thousand would otherwise fail to map its shared
// user data and never start.  The Wine server stays 15 s after the last
// process ends, so that the runs of a test do not each start one.
static std::vector<std::string> WineCommand(const std::string& program) {
  [[maybe_unused]] static const int server = [] {
    setenv("WINEPREFIX", VANDORIL_BUILD_DIR "/wine-prefix", 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return std::system(VANDORIL_WINESERVER " -p15 2>/dev/null");
  }();
  return {"setarch", "x86_64", "-R", VANDORIL_WINE64, VANDORIL_WINDOWS_DIR + program};
}
#else
std::vector<Build> BuildsUnderTest() { return {kNativeBuild}; }
static std::vector<std::string> WineCommand(const std::string&) { throw std::logic_error("no Windows build"); }
#endif

std::vector<std::string> PatchCommand(const std::vector<std::string>& faults) {
  std::vector<std::string> command = {"/usr/bin/env"};
  if (!faults.empty() && buildUnderTest == kNativeBuild) {
    command.insert(command.end(), {"LD_PRELOAD=" VANDORIL_FAULT_LIBRARY, "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"});
  }
  command.insert(command.end(), faults.begin(), faults.end());
  if (buildUnderTest == kNativeBuild) return command.push_back(VANDORIL_PATCH_EXE), command;
  const std::vector<std::string> wine = WineCommand(faults.empty() ? "/vandoril-patch.exe" : "/stand-ins/vandoril-patch-faults.exe");
  command.insert(command.end(), wine.begin(), wine.end());
  return command;
}

static void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args, const std::vector<std::string>& faults,
                   const std::string& wrapper) {
  std::vector<std::string> command = PatchCommand(faults);
  if (!wrapper.empty()) command.insert(command.begin(), {"/bin/sh", "-c", wrapper + " \"$@\"", "sh"});
  command.insert(command.end(), args.begin(), args.end());
  const bool locked = Exists(dir + "/vandoril_06.lock");
  RunResult run = RunProgram(command[0], {command.begin() + 1, command.end()}, dir);
  if (buildUnderTest == kWindowsBuild) {
    // Wine closes the handles of a process that has ended (deleting the lock
    // file of its run) only when its server gets to it, Windows before the
    // process ends: this waits for that, at most 10 s.
    for (int waited = 0; !locked && Exists(dir + "/vandoril_06.lock") && waited < 1000; ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (std::string* text : {&run.out, &run.err}) {
      ReplaceAll(*text, "\r\n", "\n");
      ReplaceAll(*text, "Press any key to continue... ", "Press any key to continue . . . \n");
    }
    if (run.exitStatus == 137) run.exitStatus = -1;
  }
  return run;
}

void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options) {
  std::vector<std::string> args = {folder};
  args.insert(args.end(), options.begin(), options.end());
  const RunResult made = RunProgram(MAKE_SAMPLE_GAME_EXE, args, "/");
  ASSERT_EQ(made.exitStatus, 0) << made.err;
#ifdef VANDORIL_WINDOWS_DIR
  if (buildUnderTest == kWindowsBuild) {
    fs::copy_file(VANDORIL_WINDOWS_DIR "/stand-ins/editor.exe", folder + "/editor.exe", fs::copy_options::overwrite_existing);
  }
#endif
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
  buildUnderTest = kNativeBuild;
  fs::current_path(previousDir_);
  std::error_code ec;
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir_, ec);
}
