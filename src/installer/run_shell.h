// Commands for the command interpreter.
#pragma once

#include <string>

// Hands `command` unchanged to the built-in command interpreter
// (platform/command_interpreter.h), which carries out the program's file
// commands in-process on every platform and starts the editor directly; on
// Windows "pause" and any other line go to "cmd /d /c".  Waits until it has
// finished and returns its exit status, which no caller needs to look at.
// When a file command fails, errno is left at the reason (0 when it is not
// known).
int RunShell(const std::string& command);
