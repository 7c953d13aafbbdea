#include "platform/system_shell.h"

#include "platform/command_interpreter.h"

int RunPlatformCommand(const std::string& commandLine) {
  return RunBuiltinCommand(commandLine);
}
