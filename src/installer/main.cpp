// vandoril-patch: exchanges San Marino (34) and the Netherlands (41) across
// the game's data files.  Every rewrite is its own inverse, so the same steps
// install the patch and, run with "/uninstall", remove it.  A run either
// completes or leaves the folder as it was: its journal lets a failure undo
// it at once, and the next run undo or finish one that was stopped.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "archives/art_steps.h"
#include "database/country_databases.h"
#include "database/country_list.h"
#include "database/results_script.h"
#include "installer/folder_survey.h"
#include "installer/remove_backups.h"
#include "installer/repair.h"
#include "installer/game_files.h"
#include "installer/messages.h"
#include "installer/run_control.h"
#include "installer/run_journal.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"
#include "platform/files.h"
#include "platform/folder_lock.h"
#include "platform/process_setup.h"
#include "platform/shadow_copies.h"

namespace {

// Ends a run: waits for a key press and returns `exitStatus`.
int Pause(int exitStatus = 0) {
  RunShell("pause");
  return exitStatus;
}

// Says on standard error why the run is refused, waits for a key and
// returns 1.
int RefuseWithStatusOne(const std::string& message) {
  PrintWarning(message);
  return Pause(1);
}

// Backups found without a journal were not made by a run of this program
// that could still be undone: they are never read, moved over or deleted.
int RefuseBackupsInTheWay(const std::vector<std::string>& backups) {
  return RefuseWithStatusOne(BackupsInTheWay(backups));
}

// A marker that exists (or may exist) but cannot be opened says neither "installed" nor
// "not installed": an install over an installed patch would undo it and
// leave the marker claiming the opposite.
int RefuseUnreadableMarker() { return RefuseWithStatusOne(UnreadableMarker()); }

// The run's journal names the marker from its first write (BeginRun()).
void CreateInstallMarker() {
  std::ofstream(kInstallMarker, std::ios::out | std::ios::trunc);
  if (!FileIsPresent(kInstallMarker)) FailRun(MarkerNotCreated());
}

void DeleteInstallMarker() {
  RunShell("del vandoril_06.dontdelete");
  const PathLookup marker = LookUp(kInstallMarker);
  if (marker.state != PathAbsent) {
    FailRun(MarkerNotDeleted() + Because(marker.state == PathUnknown ? marker.error : 0));
  }
}

// Shadow copies of the run's files: a game that reads them would never see
// what the run changes in its folder.
int RefuseShadowCopies(const std::vector<std::string>& files) {
  return RefuseWithStatusOne(ShadowCopiesInTheWay(ShadowCopyFolder(), files));
}

// A run that could not be undone if it failed, or that could not tell which
// of its files exist, does not begin.
int RefuseUnsafeRun(const std::string& problem) { return RefuseWithStatusOne(UnsafeRun(problem)); }

int Refuse(const char* first, const char* second) {
  std::cout << first << std::endl;
  std::cout << second << std::endl;
  return Pause();
}

}  // namespace

int main(int argc, char* argv[]) {
  SetUpProcess();
  if (!FileIsPresent("editor.exe")) {
    std::cout << kEditorMissing << std::endl << std::endl;
    return Pause();
  }
  if (FileIsPresent("vandoril.dontdelete")) return Refuse(kBetaPatchFound, kAfterUninstallation);
  if (FileIsPresent("vandoril_03.dontdelete")) return Refuse(k2005PatchFound, kAfterUninstallation);

  if (LockGameFolder() == FolderLockHeldElsewhere) return RefuseWithStatusOne(kAnotherRun);
  // A journal is repaired; one that may stand is refused by the repair.
  if (LookUp(kJournalFile).state != PathAbsent) return Pause(RepairStoppedRun());
  std::vector<std::string> backups;
  std::string problem;
  if (!FindBackupsInTheFolder(backups, problem)) return RefuseUnsafeRun(problem);
  if (!backups.empty()) return RefuseBackupsInTheWay(backups);

  const bool install = !FileIsPresent(kInstallMarker);
  if (install && LookUp(kInstallMarker).state != PathAbsent) return RefuseUnreadableMarker();
  if (!install) {
    const bool uninstallRequested =
        FileIsPresent("Brisco-UnInstall.exe") && argc == 2 && std::strcmp(argv[1], "/uninstall") == 0;
    if (!uninstallRequested) return Refuse(kAlreadyInstalled, kHowToUninstall);
  }
  const std::vector<std::string> shadowCopies = FilesWithShadowCopies(FilesTheRunChanges());
  if (!shadowCopies.empty()) return RefuseShadowCopies(shadowCopies);
  std::vector<std::string> absent;
  if (!SurveyGameFolder(absent, problem)) return RefuseUnsafeRun(problem);
  BeginRun(!install, absent);
  if (install) {
    // The empty marker shows the installed state from now on.
    CreateInstallMarker();
    std::cout << kAttention;
  } else {
    DeleteInstallMarker();
  }

  std::cout << kWaiting << std::flush;
  PatchArt01();
  PatchArt02();
  PatchArt03();
  PatchCountryList();
  PatchResultsScript();
  SwapCountryDatabases();
  MakeRunDurable();
  RemoveBackups();
  if (EndRun() != 0) return 1;  // after its message, and a wait where the window would close

  // The run is over: the editor must not hold the folder's lock.
  UnlockGameFolder();
  RunShell("\"editor.exe -master\"");
  std::cout << std::endl;
  return Pause();
}
