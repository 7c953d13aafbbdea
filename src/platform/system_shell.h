// The platform's command interpreter.
#pragma once

#include <string>

// Hands `commandLine` unchanged to the command interpreter and waits until it
// has finished.  Returns the interpreter's exit status (0 for success).
// On Windows this is the C runtime's system(); elsewhere the project's own
// interpreter carries out the program's command lines in-process.
int RunPlatformCommand(const std::string& commandLine);
