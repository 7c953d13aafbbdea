// Starting a program of the game folder, for the built-in interpreter.
#pragma once

#include <string>
#include <vector>

// Runs the program `name` of the current directory with `arguments` (its
// argv[0] is `name`) and waits until it ends; returns its exit status.  A
// Windows program that cannot be started directly is handed to "wine" when
// that is on the PATH.  A program that is missing or cannot be started gets
// one complaint on standard error and a non-zero result.
int RunProgramFromCurrentDirectory(const std::string& name, const std::vector<std::string>& arguments);
