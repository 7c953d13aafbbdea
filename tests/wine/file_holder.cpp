// Holds a file as a virus scanner does for a moment: file-holder FILE MS SIGNAL waits until SIGNAL.held exists (made
// by the program under test as it holds before an operation), opens FILE without sharing, creates SIGNAL (which lets
// that program go on), lets go of FILE after MS milliseconds and ends with status 0; 1 when FILE cannot be opened.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char* argv[]) {
  if (argc != 4) return 2;
  for (int waited = 0; GetFileAttributesA((argv[3] + std::string(".held")).c_str()) == INVALID_FILE_ATTRIBUTES && waited < 3000; ++waited) Sleep(10);
  const HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(CreateFileA(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Sleep(std::atoi(argv[2]));
  return CloseHandle(held) ? 0 : 1;
}
