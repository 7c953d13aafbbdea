// The editor stand-in of a sample game for the Windows program: appends its
// arguments, separated by blanks, as one line to "editor.log" in the current
// directory.
#include <fstream>

int main(int argc, char* argv[]) {
  std::ofstream log("editor.log", std::ios::app | std::ios::binary);
  for (int i = 1; i < argc; ++i) log << (i > 1 ? " " : "") << argv[i];
  return log << '\n' ? 0 : 1;
}
