#include "database/results_script.h"

#include "database/line_rewriting.h"
#include "installer/shared_state.h"
#include "platform/rename.h"

namespace {

struct Replacement {
  const char* prefix;
  const char* newLine;
};

// Tested in this order; a matching line is replaced as a whole.  Rows 1 and 3
// undo each other, and so do rows 2 and 4.
const Replacement kReplacements[] = {
    {"34 ; Netherlands", "41 ; Netherlands\t1"},
    {"41 ; San_Marino", "34 ; San_Marino"},
    {"41 ; Netherlands", "34 ; Netherlands\t1"},
    {"34 ; San_Marino", "41 ; San_Marino"},
};

}  // namespace

void PatchResultsScript() {
  PrintProgressDot();
  RenameNoReplace("script/Results.txt", "script/Results.bak");
  if (!OpenStepFiles("script/Results.bak", "script/Results.txt")) FailStep("error!!!");

  while (ReadSharedLine(sharedLineBuffer)) {
    for (const Replacement& row : kReplacements) {
      if (BeginsWith(sharedLineBuffer, row.prefix)) {
        PrintProgressDot();
        sharedLineBuffer = row.newLine;
        break;
      }
    }
    WriteSharedLine(sharedLineBuffer);
  }
  CloseStepFiles();
}
