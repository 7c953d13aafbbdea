// The built-in command interpreter, driven with the installer's own command
// lines in a temporary game folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "installer/run_shell.h"
#include "platform/command_interpreter.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunCommand(const std::string& commandLine) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Outcome outcome;
  outcome.status = RunBuiltinCommand(commandLine);
  std::cout.flush();
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.err = testing::internal::GetCapturedStderr();
  return outcome;
}

// Expects success without any output.
void ExpectDone(const std::string& commandLine) {
  const Outcome outcome = RunCommand(commandLine);
  EXPECT_EQ(outcome.status, 0) << commandLine;
  EXPECT_EQ(outcome.out, "") << commandLine;
  EXPECT_EQ(outcome.err, "") << commandLine;
}

// Expects failure with exactly one complaint line on standard error.
void ExpectComplaint(const std::string& commandLine, const std::string& complaint) {
  const Outcome outcome = RunCommand(commandLine);
  EXPECT_NE(outcome.status, 0) << commandLine;
  EXPECT_EQ(outcome.out, "") << commandLine;
  EXPECT_EQ(outcome.err, complaint + "\n") << commandLine;
}

bool IsDirectory(const std::string& path) { return fs::is_directory(fs::symlink_status(path)); }

void MakeExecutable(const std::string& path, const std::string& contents) {
  WriteFile(path, contents);
  fs::permissions(path, fs::perms::owner_all);
}

using CommandInterpreterTest = GameFolderTest;

TEST_F(CommandInterpreterTest, MdMakesADirectoryAndLeavesAnExistingOneAlone) {
  ExpectDone("md database\\bak");
  EXPECT_TRUE(IsDirectory("database/bak"));
  ExpectDone("md a\\b\\");
  EXPECT_TRUE(IsDirectory("a/b"));

  WriteFile("database/bak/country7.sav", "kept");
  ExpectComplaint("md database\\bak", "A subdirectory or file database\\bak already exists.");
  EXPECT_EQ(ReadFile("database/bak/country7.sav"), "kept");

  WriteFile("database/file", "a file");
  ExpectComplaint("md database\\file", "A subdirectory or file database\\file already exists.");
  EXPECT_EQ(ReadFile("database/file"), "a file");
}

TEST_F(CommandInterpreterTest, MoveMovesOneFileAndNeverReplacesOne) {
  WriteFile("database/countries.sav", "list");
  fs::create_directory("database/bak");
  ExpectDone("move database\\countries.sav database\\bak\\countries.sav");
  EXPECT_FALSE(Exists("database/countries.sav"));
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "list");

  WriteFile("database/countries.sav", "new list");
  ExpectComplaint("move database\\countries.sav database\\bak\\countries.sav",
                  "Cannot create a file when that file already exists.");
  EXPECT_EQ(ReadFile("database/countries.sav"), "new list");
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "list");

  // A directory in the destination's place is not replaced either.
  fs::create_directory("database/bak/country3.sav");
  WriteFile("database/country3.sav", "3");
  ExpectComplaint("move database\\country3.sav database\\bak\\country3.sav",
                  "Cannot create a file when that file already exists.");
  EXPECT_EQ(ReadFile("database/country3.sav"), "3");
  EXPECT_TRUE(fs::is_empty("database/bak/country3.sav"));
}

TEST_F(CommandInterpreterTest, MoveComplainsAboutAMissingSourceOrFolderAndAboutDirectories) {
  fs::create_directory("database");
  ExpectComplaint("move database\\country34.sav database\\bak\\country34.sav",
                  "The system cannot find the file specified.");

  WriteFile("database/country34.sav", "34");
  ExpectComplaint("move database\\country34.sav database\\bak\\country34.sav",
                  "The system cannot find the path specified.");
  EXPECT_EQ(ReadFile("database/country34.sav"), "34");
  EXPECT_FALSE(Exists("database/bak"));

  WriteFile("folder/inside", "x");
  ExpectComplaint("move folder elsewhere", "Access is denied.");
  EXPECT_EQ(ReadFile("folder/inside"), "x");
  EXPECT_FALSE(Exists("elsewhere"));
}

TEST_F(CommandInterpreterTest, DelDeletesOneFileAndComplainsWhenItIsMissing) {
  WriteFile("script/Results.bak", "results");
  fs::permissions("script/Results.bak", fs::perms::owner_read);
  ExpectDone("del script\\Results.bak");
  EXPECT_FALSE(Exists("script/Results.bak"));

  ExpectComplaint("del art_01.bak", "Could Not Find " + (fs::current_path() / "art_01.bak").string());
  ExpectComplaint("del nowhere\\art_01.bak", "The system cannot find the path specified.");

  fs::create_directory("art_02.bak");
  ExpectComplaint("del art_02.bak", "Access is denied.");
  EXPECT_TRUE(IsDirectory("art_02.bak"));
}

TEST_F(CommandInterpreterTest, DelAllFilesTakesReadOnlyFilesButNoSubdirectoryNorAnythingBelowOrOutside) {
  WriteFile("database/bak/country1.sav", "1");
  WriteFile("database/bak/locked.sav", "locked");
  fs::permissions("database/bak/locked.sav", fs::perms::owner_read);
  WriteFile("database/bak/.hidden", "h");
  WriteFile("database/bak/sub/inner.sav", "inner");
  WriteFile("outside/file", "outside");
  fs::create_directory_symlink(fs::absolute("outside"), "database/bak/dirlink");
  fs::create_symlink(fs::absolute("outside/file"), "database/bak/filelink");

  ExpectDone("del database\\bak\\*.* /Q /F");
  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator("database/bak"))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"dirlink", "sub"}));
  EXPECT_EQ(ReadFile("database/bak/sub/inner.sav"), "inner");
  EXPECT_EQ(ReadFile("outside/file"), "outside");

  // Nothing left to delete, or no such directory.
  fs::create_directory("empty");
  ExpectComplaint("del empty\\*.* /Q /F", "Could Not Find " + (fs::current_path() / "empty/*.*").string());
  ExpectComplaint("del missing\\*.* /Q /F", "The system cannot find the path specified.");
}

TEST_F(CommandInterpreterTest, RmdirRemovesOnlyAnEmptyDirectory) {
  WriteFile("database/bak/sub/inner.sav", "inner");
  ExpectComplaint("rmdir database\\bak\\", "The directory is not empty.");
  EXPECT_EQ(ReadFile("database/bak/sub/inner.sav"), "inner");

  fs::remove_all("database/bak/sub");
  ExpectDone("rmdir database\\bak\\");
  EXPECT_FALSE(Exists("database/bak"));
  EXPECT_TRUE(IsDirectory("database"));

  ExpectComplaint("rmdir database\\bak\\", "The system cannot find the file specified.");
  WriteFile("file", "f");
  ExpectComplaint("rmdir file\\", "The directory name is invalid.");
}

TEST_F(CommandInterpreterTest, TheBackupCommandsOfARunLeaveNoBackupBehind) {
  WriteFile("database/countries.sav", "list");
  WriteFile("database/country34.sav", "34");
  WriteFile("art_01.bak", "art");
  WriteFile("script/Results.bak", "results");
  EXPECT_EQ(RunShell("md database\\bak"), 0);
  EXPECT_EQ(RunShell("move database\\countries.sav database\\bak\\countries.sav"), 0);
  EXPECT_EQ(RunShell("move database\\country34.sav database\\bak\\country34.sav"), 0);
  EXPECT_EQ(RunShell("del database\\bak\\*.* /Q /F"), 0);
  EXPECT_EQ(RunShell("rmdir database\\bak\\"), 0);
  EXPECT_EQ(RunShell("del art_01.bak"), 0);
  EXPECT_EQ(RunShell("del script\\Results.bak"), 0);
  EXPECT_FALSE(Exists("database/bak"));
  EXPECT_FALSE(Exists("art_01.bak"));
  EXPECT_FALSE(Exists("script/Results.bak"));
}

TEST_F(CommandInterpreterTest, AnyOtherCommandLineIsRefusedAndChangesNothing) {
  const std::string notRecognized =
      "' is not recognized as an internal or external command, operable program or batch file.";
  ExpectComplaint("format c:", "'format" + notRecognized);
  ExpectComplaint("\"other.exe -master\"", "'other.exe -master" + notRecognized);
  ExpectComplaint("editor.exe -master", "'editor.exe" + notRecognized);

  WriteFile("database/bak/country1.sav", "1");
  const char* refused[] = {"",
                           "del database\\bak\\*.*",
                           "del database\\bak\\*.* /Q",
                           "del database\\bak\\*.sav /Q /F",
                           "del database\\bak\\country1.sav /Q /F",
                           "md x y",
                           "md x&md y",
                           "move database\\bak\\country1.sav",
                           "move database\\bak\\country1.sav a>b",
                           "rmdir database\\bak\\ /S /Q",
                           "pause now"};
  for (const char* line : refused) ExpectComplaint(line, "The syntax of the command is incorrect.");
  EXPECT_EQ(ReadFile("database/bak/country1.sav"), "1");
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator("."), fs::directory_iterator()),
            std::vector<fs::path>{"./database"});
}

// Runs "pause" in a child process with standard input from `inputFile` and
// standard output into "pause.out"; returns what the child wrote, followed by
// whatever of the input the pause left unread.
std::string PauseInChild(const std::string& inputFile) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(inputFile.c_str(), O_RDONLY);
    const int out = open("pause.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(100);
    const int status = RunBuiltinCommand("pause");
    std::cout << "[";
    char byte;
    while (read(0, &byte, 1) == 1) std::cout << byte;
    std::cout << "]" << std::flush;
    _exit(status);
  }
  int status = -1;
  for (int waited = 0; waited < 10000 && waitpid(pid, &status, WNOHANG) == 0; waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (kill(pid, 0) == 0 && waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "pause did not return";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return ReadFile("pause.out");
}

TEST_F(CommandInterpreterTest, PauseReturnsAtTheEndOfInputAndTakesOneByteOtherwise) {
  EXPECT_EQ(PauseInChild("/dev/null"), "Press any key to continue . . . \n[]");
  WriteFile("keys", "xy\n");
  EXPECT_EQ(PauseInChild("keys"), "Press any key to continue . . . \n[y\n]");
}

TEST_F(CommandInterpreterTest, PauseOnATerminalTakesOneKeyWithoutEchoAndRestoresTheTerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminals";
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  struct termios before;
  ASSERT_EQ(tcgetattr(terminal, &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(terminal, 0);
    dup2(terminal, 1);
    _exit(RunBuiltinCommand("pause"));
  }
  // Press the key once the child waits for single keys.
  struct termios now;
  for (int waited = 0; waited < 10000; waited += 2) {
    if (tcgetattr(terminal, &now) == 0 && !(now.c_lflag & ICANON)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_FALSE(now.c_lflag & (ICANON | ECHO));
  ASSERT_EQ(write(master, "k", 1), 1);
  int status = -1;
  for (int waited = 0; waited < 10000 && waitpid(pid, &status, WNOHANG) == 0; waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  struct termios after;
  ASSERT_EQ(tcgetattr(terminal, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  EXPECT_EQ(after.c_cc[VTIME], before.c_cc[VTIME]);

  fcntl(master, F_SETFL, O_NONBLOCK);
  std::string shown;
  char buffer[256];
  for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
  EXPECT_EQ(shown, "Press any key to continue . . . \r\n");  // the key is not echoed
  close(terminal);
  close(master);
}

TEST_F(CommandInterpreterTest, TheEditorCommandRunsEditorExeWithTheSingleArgumentMaster) {
  MakeExecutable("editor.exe", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > editor.args\n");
  ExpectDone("\"editor.exe -master\"");
  EXPECT_EQ(ReadFile("editor.args"), "1|-master|");

  // The editor's exit status is the command's.
  MakeExecutable("editor.exe", "#!/bin/sh\nexit 3\n");
  EXPECT_EQ(RunCommand("\"editor.exe -master\"").status, 3);
}

TEST_F(CommandInterpreterTest, AnEditorThatCannotBeStartedGivesAComplaint) {
  ExpectComplaint("\"editor.exe -master\"",
                  "'editor.exe' is not recognized as an internal or external command, operable program or batch file.");
  WriteFile("editor.exe", "#!/bin/sh\ntouch ran\n");
  ExpectComplaint("\"editor.exe -master\"", "Access is denied.");
  MakeExecutable("editor.exe", "neither a program nor a script\n");
  ExpectComplaint("\"editor.exe -master\"", "The system cannot execute the specified program.");
  EXPECT_FALSE(Exists("ran"));
}

TEST_F(CommandInterpreterTest, AWindowsEditorIsHandedToWineFromThePath) {
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  fs::create_directory("bin");
  setenv("PATH", fs::absolute("bin").c_str(), 1);
  WriteFile("editor.exe", std::string("MZ\x90\0\3\0", 6));

  ExpectComplaint("\"editor.exe -master\"", "The system cannot execute the specified program.");
  MakeExecutable("bin/wine", "#!/bin/sh\nprintf '%s|' \"$@\" > wine.args\n");
  ExpectDone("\"editor.exe -master\"");
  EXPECT_EQ(ReadFile("wine.args"), "./editor.exe|-master|");

  setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
