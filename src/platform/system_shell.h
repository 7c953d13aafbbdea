// The platform's command interpreter.
#pragma once

#include <string>

// Hands `commandLine` unchanged to the command interpreter and waits until it
// has finished.  Returns the interpreter's exit status (0 for success).
// The program's file commands are carried out in-process on every platform
// (command_interpreter.h), and the editor is started directly; on Windows
// "pause" and any other line go to "cmd /d /c".
int RunPlatformCommand(const std::string& commandLine);
