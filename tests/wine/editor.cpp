// Stand-in for the game's editor "editor.exe" in the Windows tests: appends
// its arguments, separated by one blank, as one line to "editor.log" in the
// current directory, so a test can see that and how the editor was started.
#include <fstream>

int main(int argc, char* argv[]) {
  std::ofstream log("editor.log", std::ios::app | std::ios::binary);
  for (int i = 1; i < argc; ++i) log << (i > 1 ? " " : "") << argv[i];
  log << '\n';
  return log ? 0 : 1;
}
