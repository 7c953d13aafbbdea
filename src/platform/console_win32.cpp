#include "platform/console.h"

#include <windows.h>

bool ConsoleClosesWithProgram() {
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;  // input is not a console
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}
