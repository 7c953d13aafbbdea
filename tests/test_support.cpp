#include "test_support.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

#ifndef VANDORIL_WINDOWS_DIR
#define VANDORIL_WINDOWS_DIR ""
#define VANDORIL_WINE64 ""
#define VANDORIL_WINESERVER "false"
#endif
std::vector<Build> BuildsUnderTest() {
  return *VANDORIL_WINDOWS_DIR ? std::vector<Build>{kNativeBuild, kWindowsBuild} : std::vector<Build>{kNativeBuild};
}
Build buildUnderTest = kNativeBuild;
std::string WindowsBuildFile(const std::string& name) { return VANDORIL_WINDOWS_DIR "/" + name; }

std::string MakeTempDir() {
  std::string pattern = (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string()) +
                        "/vandoril-test-XXXXXX";
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

// Runs the words of `command` in `dir`, standard input from /dev/null.
static RunResult Run(const std::vector<std::string>& command, const std::string& dir) {
  std::string line = "cd '" + dir + "' && exec";
  for (const std::string& word : command) {
    line += " '";
    for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += "'";
  }
  const std::string capture = MakeTempDir();
  const int status = system((line + " </dev/null >" + capture + "/out 2>" + capture + "/err").c_str());
  RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture + "/out"), ReadFile(capture + "/err"), ""};
  fs::remove_all(capture);
  return result;
}

RunResult RunPatch(const std::string& dir, const std::vector<std::string>& args, const std::vector<std::string>& faults,
                   const std::string& wrapper) {
  if (buildUnderTest == kWindowsBuild) {
    return RunWindowsProgram(dir, WindowsBuildFile(faults.empty() ? "vandoril-patch.exe" : "stand-ins/vandoril-patch-faults.exe"),
                             args, faults, wrapper);
  }
  std::vector<std::string> command = {"/usr/bin/env"};
  const char* const preload[] = {"LD_PRELOAD=" VANDORIL_FAULT_LIBRARY, "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"};
  if (!faults.empty()) command.insert(command.end(), std::begin(preload), std::end(preload));
  command.insert(command.end(), faults.begin(), faults.end());
  command.push_back(VANDORIL_PATCH_EXE);
  command.insert(command.end(), args.begin(), args.end());
  if (!wrapper.empty()) command.insert(command.begin(), {"/bin/sh", "-c", wrapper + " \"$@\"", "sh"});
  RunResult run = Run(command, dir);
  run.rawOut = run.out;
  return run;
}

RunResult RunWindowsProgram(const std::string& dir, const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment, const std::string& wrapper) {
  // Wine, quiet and without windows, in the build's prefix, with address space randomisation off: this Wine has no
  // preloader, and one new process in a couple of thousand would otherwise fail to map its shared user data and
  // never start.  Its server stays 15 s after the last process.
  const char* const wine[] = {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "WINEPREFIX=" VANDORIL_BUILD_DIR "/wine-prefix",
                              "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
  std::vector<std::string> command = {"/usr/bin/env"};
  command.insert(command.end(), std::begin(wine), std::end(wine));
  command.insert(command.end(), environment.begin(), environment.end());
  [[maybe_unused]] static const int server = system(("env " + std::string(wine[4]) + " " VANDORIL_WINESERVER " -p15 2>/dev/null").c_str());
  command.insert(command.end(), {"setarch", "x86_64", "-R", VANDORIL_WINE64, program});
  command.insert(command.end(), args.begin(), args.end());
  if (!wrapper.empty()) command.insert(command.begin(), {"/bin/sh", "-c", wrapper + " \"$@\"", "sh"});
  const bool locked = Exists(dir + "/vandoril_06.lock");
  RunResult run = Run(command, dir);
  run.rawOut = run.out;
  // Wine closes the handles of an ended process (deleting its run's lock file) only when its server gets to it,
  // Windows before the process ends: this waits for that, at most 10 s.
  for (int waited = 0; !locked && Exists(dir + "/vandoril_06.lock") && waited < 1000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (std::string* text : {&run.out, &run.err}) {
    for (auto [from, to] : {std::pair("\r\n", "\n"), {"Press any key to continue... ", "Press any key to continue . . . \n"}}) {
      for (std::size_t at = 0; (at = text->find(from, at)) != std::string::npos; at += strlen(to)) {
        text->replace(at, strlen(from), to);
      }
    }
  }
  if (run.exitStatus == 137) run.exitStatus = -1;
  return run;
}

void MakeSampleGame(const std::string& folder, const std::vector<std::string>& options) {
  std::vector<std::string> command = {MAKE_SAMPLE_GAME_EXE, folder};
  command.insert(command.end(), options.begin(), options.end());
  const RunResult made = Run(command, "/");
  ASSERT_EQ(made.exitStatus, 0) << made.err;
  if (buildUnderTest == kWindowsBuild) {
    fs::copy_file(WindowsBuildFile("stand-ins/editor.exe"), folder + "/editor.exe", fs::copy_options::overwrite_existing);
  }
}

FolderContent Snapshot(const std::string& dir) {
  FolderContent content = ReadFolder(dir);
  content.erase("editor.log");
  return content;
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
  fs::remove(dir_ + ".trace", ec);  // where the tests have the program's operations traced
}
