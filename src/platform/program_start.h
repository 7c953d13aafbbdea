// Starting programs: the game folder's editor for the built-in interpreter,
// and, on Windows, the command interpreter and the program beside the
// running one (for the uninstaller).
#pragma once

#include <string>
#include <vector>

// Runs the program `name` of the current directory with `arguments` (its
// argv[0] is `name`) and waits until it ends; returns its exit status.  A
// Windows program that cannot be started directly is handed to "wine" when
// that is on the PATH (POSIX).  A program that is missing or cannot be
// started gets one complaint on standard error and a non-zero result.
int RunProgramFromCurrentDirectory(const std::string& name, const std::vector<std::string>& arguments);

// Windows only.  As RunProgramFromCurrentDirectory(), for the program `name`
// of the folder `folder`, which is also its current directory.
int RunProgramInFolder(const std::string& folder, const std::string& name, const std::vector<std::string>& arguments);

// Windows only.  Makes the folder that holds the running program's own file
// the current directory, naming it in UTF-16 throughout (a drive's root as
// "D:\", not "D:", that drive's current folder), so that relative names
// reach it whatever letters its name has.  Sets `folder` to its name, for
// messages; false when it cannot be made the current directory.
bool EnterFolderOfThisProgram(std::string& folder);

// Windows only.  Hands `commandLine` to cmd.exe of the system folder with
// its AutoRun commands off ("cmd /d /c ..."), in the current directory, or
// in the system folder when `inSystemFolder` (a current directory on a
// network share makes cmd.exe complain), and waits until it ends; returns
// its exit status, non-zero when it cannot be started.
int RunCommandInterpreter(const std::string& commandLine, bool inSystemFolder);
