// Commands for the command interpreter.
#pragma once

#include <string>

// Hands `command` unchanged to the command interpreter and waits until it has
// finished; returns its exit status, which no caller needs to look at.  When
// a file command fails, errno is left at the reason (0 when it is not known).
int RunShell(const std::string& command);
