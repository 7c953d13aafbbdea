// The built-in command interpreter, driven with the installer's own command
// lines in a temporary game folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <thread>

#include "installer/run_shell.h"
#include "platform/command_interpreter.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// Runs `commandLine` and expects `complaint` as the one line on standard error
// with a non-zero result, or, when `complaint` is empty, silent success.
// Returns the result.
int Expect(const std::string& commandLine, const std::string& complaint = "") {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = RunBuiltinCommand(commandLine);
  std::cout.flush();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << commandLine;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), complaint.empty() ? "" : complaint + "\n") << commandLine;
  EXPECT_EQ(status != 0, !complaint.empty()) << commandLine;
  return status;
}

void MakeExecutable(const std::string& path, const std::string& contents) {
  WriteFile(path, contents);
  fs::permissions(path, fs::perms::owner_all);
}

using CommandInterpreterTest = GameFolderTest;

TEST_F(CommandInterpreterTest, MdMakesADirectoryAndLeavesAnExistingOneAlone) {
  EXPECT_EQ(RunShell("md database\\bak"), 0);
  EXPECT_TRUE(fs::is_directory("database/bak"));
  WriteFile("database/bak/country7.sav", "kept");
  Expect("md database\\bak", "A subdirectory or file database\\bak already exists.");
  EXPECT_EQ(ReadFile("database/bak/country7.sav"), "kept");
  WriteFile("database/file", "a file");
  Expect("md database\\file", "A subdirectory or file database\\file already exists.");
  EXPECT_EQ(ReadFile("database/file"), "a file");
}

TEST_F(CommandInterpreterTest, MoveMovesOneFileAndNeverReplacesOne) {
  WriteFile("database/countries.sav", "list");
  Expect("move database\\countries.sav database\\bak\\countries.sav", "The system cannot find the path specified.");
  fs::create_directory("database/bak");
  Expect("move database\\countries.sav database\\bak\\countries.sav");
  EXPECT_FALSE(Exists("database/countries.sav"));
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "list");
  Expect("move database\\countries.sav database\\bak\\countries.sav", "The system cannot find the file specified.");

  WriteFile("database/countries.sav", "new list");
  Expect("move database\\countries.sav database\\bak\\countries.sav",
         "Cannot create a file when that file already exists.");
  EXPECT_EQ(ReadFile("database/countries.sav"), "new list");
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "list");

  Expect("move database\\bak database\\old", "Access is denied.");  // a directory is no file
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "list");
}

TEST_F(CommandInterpreterTest, DelDeletesOneFileAndComplainsWhenItIsMissing) {
  WriteFile("script/Results.bak", "results");
  fs::permissions("script/Results.bak", fs::perms::owner_read);
  Expect("del script\\Results.bak");
  EXPECT_FALSE(Exists("script/Results.bak"));
  Expect("del art_01.bak", "Could Not Find " + (fs::current_path() / "art_01.bak").string());
  fs::create_directory("art_02.bak");
  Expect("del art_02.bak", "Access is denied.");
  EXPECT_TRUE(fs::is_directory("art_02.bak"));
}

TEST_F(CommandInterpreterTest, DelAllFilesTakesReadOnlyFilesButNoSubdirectoryNorAnythingBelowOrOutside) {
  WriteFile("database/bak/country1.sav", "1");
  WriteFile("database/bak/locked.sav", "locked");
  fs::permissions("database/bak/locked.sav", fs::perms::owner_read);
  WriteFile("database/bak/sub/inner.sav", "inner");
  WriteFile("outside/file", "outside");
  fs::create_directory_symlink(fs::absolute("outside"), "database/bak/dirlink");
  fs::create_symlink(fs::absolute("outside/file"), "database/bak/filelink");

  Expect("del database\\bak\\*.* /Q /F");
  std::set<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator("database/bak"))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"dirlink", "sub"}));
  EXPECT_EQ(ReadFile("database/bak/sub/inner.sav"), "inner");
  EXPECT_EQ(ReadFile("outside/file"), "outside");

  fs::create_directory("empty");
  Expect("del empty\\*.* /Q /F", "Could Not Find " + (fs::current_path() / "empty/*.*").string());
  Expect("del missing\\*.* /Q /F", "The system cannot find the path specified.");
}

TEST_F(CommandInterpreterTest, RmdirRemovesOnlyAnEmptyDirectory) {
  WriteFile("database/bak/sub/inner.sav", "inner");
  Expect("rmdir database\\bak\\", "The directory is not empty.");
  EXPECT_EQ(ReadFile("database/bak/sub/inner.sav"), "inner");
  fs::remove_all("database/bak/sub");
  Expect("rmdir database\\bak\\");
  EXPECT_FALSE(Exists("database/bak"));
  Expect("rmdir database\\bak\\", "The system cannot find the file specified.");
}

TEST_F(CommandInterpreterTest, AnyOtherCommandLineIsRefusedAndChangesNothing) {
  const std::string notRecognized =
      "' is not recognized as an internal or external command, operable program or batch file.";
  Expect("format c:", "'format" + notRecognized);
  Expect("\"other.exe -master\"", "'other.exe -master" + notRecognized);

  WriteFile("database/bak/country1.sav", "1");
  for (const char* line : {"", "del database\\bak\\*.*", "del database\\bak\\*.sav /Q /F", "md x y", "md x&md y",
                           "move database\\bak\\country1.sav a>b", "rmdir database\\bak\\ /S /Q", "pause now"})
    Expect(line, "The syntax of the command is incorrect.");
  EXPECT_EQ(ReadFile("database/bak/country1.sav"), "1");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

// Waits up to ten seconds for the child to exit with status 0; a hanging
// child is killed, so that a broken wait cannot hang the tests.
void ExpectChildEndsWithSuccess(pid_t pid) {
  int status = 0;
  for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; waited += 5) {
    if (waited >= 10000) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the child did not end";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Runs "pause" in a child with standard input from `inputFile`; returns what
// it wrote, then in brackets whatever of the input it left unread.
std::string PauseInChild(const std::string& inputFile) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(inputFile.c_str(), O_RDONLY);
    const int out = open("pause.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) _exit(100);
    const int status = RunBuiltinCommand("pause");
    std::string rest = "[";
    for (char byte; read(0, &byte, 1) == 1;) rest += byte;
    std::cout << rest << "]" << std::flush;
    _exit(status);
  }
  ExpectChildEndsWithSuccess(pid);
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
  struct termios before, now, after;
  ASSERT_EQ(tcgetattr(terminal, &before), 0);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(terminal, 0);
    dup2(terminal, 1);
    _exit(RunBuiltinCommand("pause"));
  }
  // The key is pressed once the child waits for single keys.
  for (int waited = 0; waited < 10000 && tcgetattr(terminal, &now) == 0 && (now.c_lflag & ICANON); waited += 2)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_FALSE(now.c_lflag & (ICANON | ECHO));
  ASSERT_EQ(write(master, "k", 1), 1);
  ExpectChildEndsWithSuccess(pid);

  ASSERT_EQ(tcgetattr(terminal, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  fcntl(master, F_SETFL, O_NONBLOCK);
  char shown[256];
  const ssize_t got = read(master, shown, sizeof shown);
  EXPECT_EQ(std::string(shown, got > 0 ? got : 0), "Press any key to continue . . . \r\n");  // no "k"
  close(terminal);
  close(master);
}

TEST_F(CommandInterpreterTest, TheEditorCommandRunsEditorExeWithTheSingleArgumentMaster) {
  Expect("\"editor.exe -master\"",
         "'editor.exe' is not recognized as an internal or external command, operable program or batch file.");
  WriteFile("editor.exe", "#!/bin/sh\ntouch ran\n");
  Expect("\"editor.exe -master\"", "Access is denied.");
  MakeExecutable("editor.exe", "neither a program nor a script\n");
  Expect("\"editor.exe -master\"", "The system cannot execute the specified program.");
  EXPECT_FALSE(Exists("ran"));

  MakeExecutable("editor.exe", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > editor.args\nexit 3\n");
  EXPECT_EQ(RunBuiltinCommand("\"editor.exe -master\""), 3);  // the editor's exit status
  EXPECT_EQ(ReadFile("editor.args"), "1|-master|");
}

TEST_F(CommandInterpreterTest, AWindowsEditorIsHandedToWineFromThePath) {
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (dir_ + "/bin").c_str(), 1);
  WriteFile("editor.exe", std::string("MZ\x90\0\3\0", 6));
  Expect("\"editor.exe -master\"", "The system cannot execute the specified program.");
  MakeExecutable("bin/wine", "#!/bin/sh\nprintf '%s|' \"$@\" > wine.args\n");
  Expect("\"editor.exe -master\"");
  EXPECT_EQ(ReadFile("wine.args"), "./editor.exe|-master|");
  setenv("PATH", oldPath.c_str(), 1);
}

}  // namespace
