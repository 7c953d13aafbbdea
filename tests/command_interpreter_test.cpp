// The built-in command interpreter, with the installer's own command lines.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/command_interpreter.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kNotRecognized =
    "' is not recognized as an internal or external command, operable program or batch file.";
const std::string kPrompt = "Press any key to continue . . . ";
const std::string kSyntax = "The syntax of the command is incorrect.";
const std::string kNoFile = "The system cannot find the file specified.";

// Runs each line; expects its complaint on standard error and failure, or silent success.
void ExpectAll(const std::vector<std::pair<std::string, std::string>>& lines) {
  for (const auto& [line, complaint] : lines) {
    int status = 0;
    const auto [out, err] = Captured([&, line = line] { status = RunBuiltinCommand(line); });
    EXPECT_EQ(out + "|" + err, complaint.empty() ? "|" : "|" + complaint + "\n") << line;
    EXPECT_EQ(status != 0, !complaint.empty()) << line;
  }
}

// Every entry below the current directory: "dir/" (also a link to one) or "file=contents".
std::set<std::string> Tree() {
  std::set<std::string> tree;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator("."))
    tree.insert(e.path().string().substr(2) + (e.is_directory() ? "/" : "=" + ReadFile(e.path())));
  return tree;
}

std::string CouldNotFind(const std::string& path) { return "Could Not Find " + (fs::current_path() / path).string(); }

using CommandInterpreterTest = GameFolderTest;

// Each line's effect shows in the final listing: a failed or refused line changes nothing, and no file is ever
// replaced or lost.  "del DIR\*.* /Q /F" takes read-only files but no subdirectory, nothing below and nothing
// outside.
TEST_F(CommandInterpreterTest, MdMoveDelRmdirHaveTheWindowsEffectAndAnyOtherLineIsRefused) {
  WriteFile("list.sav", "list");
  WriteFile("bak/list.sav", "backup");
  WriteFile("Results.bak", "results");
  for (const char* file : {"all/1.sav", "all/locked.sav", "all/sub/inner.sav", "outside/file"}) WriteFile(file, "x");
  fs::permissions("Results.bak", fs::perms::owner_read);
  fs::permissions("all/locked.sav", fs::perms::owner_read);
  fs::create_directory_symlink(dir_ + "/outside", "all/dirlink");
  ExpectAll({{"md bak", "A subdirectory or file bak already exists."}, {"md new\\sub", ""},
             {"md list.sav\\sub", "The system cannot find the path specified."},
             {"move list.sav bak\\list.sav", "Cannot create a file when that file already exists."},
             {"move list.sav old\\list.sav", "The system cannot find the path specified."},
             {"move list.sav new\\list.sav", ""}, {"move list.sav new\\other.sav", kNoFile},
             {"del Results.bak", ""}, {"del Results.bak", CouldNotFind("Results.bak")},
             {"rmdir new\\", "The directory is not empty."}, {"rmdir new\\sub\\", ""}, {"rmdir new\\sub\\", kNoFile},
             {"format c:", "'format" + kNotRecognized},
             {"\"other.exe -master\"", "'other.exe -master" + kNotRecognized}, {"", kSyntax},
             {"del bak\\*.*", kSyntax}, {"del bak\\*.sav /Q /F", kSyntax}, {"md x y", kSyntax}, {"md x&md y", kSyntax},
             {"move bak\\list.sav a>b", kSyntax}, {"rmdir bak\\ /S /Q", kSyntax}, {"pause now", kSyntax},
             {"del bak\\*.* /q x", kSyntax}, {"del bak\\*.* /f x", kSyntax}, {"del all\\*.* /Q /F", ""},
             {"del all\\*.* /f /q", CouldNotFind("all/*.*")},
             {"del missing\\*.* /Q /F", "The system cannot find the path specified."}});
  EXPECT_EQ(Tree(), (std::set<std::string>{"all/", "all/dirlink/", "all/sub/", "all/sub/inner.sav=x", "bak/",
                                           "bak/list.sav=backup", "new/", "new/list.sav=list", "outside/",
                                           "outside/file=x"}));
}

// With standard input from a file, "pause" takes one byte; on a terminal one key, not echoed.  The terminal's
// settings come back after the key, and after an interrupt, which then ends the process; an ignored hangup stays
// ignored.
TEST_F(CommandInterpreterTest, PauseTakesOneByteOfAFileAndOneKeyOnATerminal) {
  WriteFile("keys", "xy\n");
  const int savedInput = dup(0), keys = open("keys", O_RDONLY);
  dup2(keys, 0);
  EXPECT_EQ(Captured([] { EXPECT_EQ(RunBuiltinCommand("pause"), 0); }).first, kPrompt + "\n");
  EXPECT_EQ(lseek(0, 0, SEEK_CUR), 1);
  dup2(savedInput, 0);
  close(savedInput), close(keys);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminals";
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  struct termios before, now, after;
  ASSERT_EQ(tcgetattr(terminal, &before), 0);
  for (const bool interrupted : {false, true}) {
    const pid_t pid = fork();
    if (pid == 0) {
      alarm(10);  // a wait that never ends fails the test instead of hanging it
      signal(SIGHUP, SIG_IGN);
      dup2(terminal, 0);
      dup2(terminal, 1);
      _exit(RunBuiltinCommand("pause"));
    }
    // The key is pressed (or the signals sent) once the child waits for single keys, which are not echoed.
    for (int i = 0; i < 5000 && tcgetattr(terminal, &now) == 0 && (now.c_lflag & ICANON); ++i) usleep(2000);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO), 0u);
    ASSERT_TRUE(interrupted ? kill(pid, SIGHUP) == 0 && kill(pid, SIGINT) == 0 : write(master, "k", 1) == 1);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(status, interrupted ? SIGINT : 0) << "a status of 0, or the end by the interrupt";
    ASSERT_EQ(tcgetattr(terminal, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
  }
  close(terminal), close(master);
}

// The editor's exit status comes back; an interrupt typed meanwhile is the editor's alone, and afterwards the
// installer's again; no descriptor stays open.
TEST_F(CommandInterpreterTest, TheEditorCommandRunsEditorExeWithTheSingleArgumentMaster) {
  ExpectAll({{"\"editor.exe -master\"", "'editor.exe" + kNotRecognized}});
  WriteFile("editor.exe", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > editor.args\n"
                          "grep SigIgn /proc/$$/status >> editor.args\nexit 3\n");
  fs::permissions("editor.exe", fs::perms::owner_all);
  struct sigaction byDefault {}, interrupt, quit;
  sigaction(SIGINT, &byDefault, &interrupt);
  sigaction(SIGQUIT, &byDefault, &quit);
  const std::string status = ReadFile("/proc/self/status");
  const auto lowestFree = [] { const int fd = open("/dev/null", O_RDONLY); return close(fd), fd; };
  const int lowest = lowestFree();
  EXPECT_EQ(RunBuiltinCommand("\"editor.exe -master\""), 3);
  EXPECT_EQ(lowestFree(), lowest) << "no descriptor stays open";
  EXPECT_EQ(ReadFile("editor.args"), "1|-master|" + status.substr(status.find("SigIgn:"), 25));
  for (const int number : {SIGINT, SIGQUIT}) {
    struct sigaction now;
    EXPECT_TRUE(sigaction(number, nullptr, &now) == 0 && now.sa_handler == SIG_DFL) << number;
  }
  sigaction(SIGINT, &interrupt, nullptr);
  sigaction(SIGQUIT, &quit, nullptr);
}

// A Windows program, which cannot be started directly, is handed to the first "wine" on the PATH that is an
// executable file in an absolute directory.
TEST_F(CommandInterpreterTest, AWindowsEditorIsHandedToWine) {
  WriteFile("editor.exe", "MZ, not a program of this system");
  for (const char* wine : {"here/wine", "plain/wine", "bin/wine", "dir/wine/x"}) WriteFile(wine, "#!/bin/sh\n");
  WriteFile("bin/wine", "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > wine.args\n");
  for (const char* wine : {"here/wine", "bin/wine"}) fs::permissions(wine, fs::perms::owner_all);
  const std::string path = getenv("PATH");
  setenv("PATH", "here", 1);
  ExpectAll({{"\"editor.exe -master\"", "The system cannot execute the specified program."}});
  setenv("PATH", ("here:" + dir_ + "/dir:" + dir_ + "/plain:" + dir_ + "/bin").c_str(), 1);
  WriteFile("editor.exe", "a text, which cannot be started either, but is no Windows program");
  EXPECT_NE(Captured([] { EXPECT_NE(RunBuiltinCommand("\"editor.exe -master\""), 0); }).second, "");
  EXPECT_FALSE(Exists("wine.args"));
  WriteFile("editor.exe", "MZ, not a program of this system");
  EXPECT_EQ(RunBuiltinCommand("\"editor.exe -master\""), 0);
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(ReadFile("wine.args"), dir_ + "/bin/wine|./editor.exe|-master|");
}

}  // namespace
