#include "installer/run_shell.h"

#include <cerrno>
#include <iostream>

#include "platform/command_interpreter.h"

int RunShell(const std::string& command) {
  // Whatever the program wrote must be on screen before the command's output.
  std::cout.flush();
  errno = 0;
  return RunBuiltinCommand(command);
}
