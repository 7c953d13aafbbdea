#include "database/results_script.h"

#include "database/line_rewriting.h"
#include "installer/messages.h"
#include "installer/run_control.h"
#include "installer/shared_state.h"

namespace {

const char kScript[] = "script/Results.txt";
const char kBackup[] = "script/Results.bak";

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
  MoveToBackup(kScript, kBackup, kTextStepError);
  if (!OpenStepFiles(kBackup, kScript)) FailRun(DescribeOpenFailure(), kTextStepError);

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
