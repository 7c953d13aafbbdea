// Brisco-UnInstall.exe: removes the patch by a double-click in the game
// folder.  It makes its own folder the current directory, runs
// "vandoril-patch.exe /uninstall" there, in the same console window, waits
// for it and ends with its status.  Only relative names follow, so that a
// folder of any name works.
#include <iostream>
#include <string>

#include "installer/game_files.h"
#include "installer/messages.h"
#include "installer/run_journal.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process_setup.h"
#include "platform/program_start.h"

namespace {

const char kPatch[] = "vandoril-patch.exe";

void WaitForKey() { RunCommandInterpreter("pause", true); }

}  // namespace

int main() {
  SetUpProcess();  // the folder in its messages may have letters outside the console's code page
  std::string folder;
  if (!EnterFolderOfThisProgram(folder) || !FileIsPresent(kPatch)) {
    std::cerr << PatchNotBesideUninstaller(kPatch, folder) << "\n" << std::flush;
    WaitForKey();
    return 1;
  }
  // Without its marker the patch would take "/uninstall" for an install.  A
  // journal is left to the patch, which repairs the run that it tells of, and
  // so is a folder where it cannot be told whether either stands.
  if (LookUp(kInstallMarker).state == PathAbsent && LookUp(kJournalFile).state == PathAbsent) {
    std::cout << NotInstalledHere(folder) << std::endl;
    WaitForKey();
    return 0;
  }
  const int status = RunProgramFromCurrentDirectory(kPatch, {"/uninstall"});
  // The patch waits for a key after a failure only when it is alone in its
  // console window; started from here it is not, so this program waits,
  // when the window would close with it, before the message disappears.
  if (status != 0 && ConsoleClosesWithProgram()) WaitForKey();
  return status;
}
