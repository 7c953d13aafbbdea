#include "platform/system_shell.h"

#include <cstdlib>

int RunPlatformCommand(const std::string& commandLine) {
  return std::system(commandLine.c_str());
}
