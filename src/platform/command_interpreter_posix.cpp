#include "platform/command_interpreter.h"

#include <iostream>

// Not written yet.
int RunBuiltinCommand(const std::string& commandLine) {
  std::cerr << "'" << commandLine << "' is not recognized as an internal or external command, operable program or batch file.\n";
  return 1;
}
