// vandoril-patch: exchanges San Marino (34) and the Netherlands (41) across
// the game's data files.  Every rewrite is its own inverse, so the same steps
// install the patch and, run with "/uninstall", remove it.
#include <cstring>
#include <fstream>
#include <iostream>

#include "archives/art_steps.h"
#include "database/country_databases.h"
#include "database/country_list.h"
#include "database/results_script.h"
#include "installer/remove_backups.h"
#include "installer/run_shell.h"
#include "platform/files.h"
#include "platform/process_setup.h"

namespace {

const char kEditorMissing[] =
    "Veldo-Editor wasn't found. That means you haven't installed the editor or this patch was not placed in the "
    "Veldo-Folder. Patch will not be installed.";
const char kBetaPatchFound[] =
    "Beta Patch found. Please uninstall the Betapatch first. Therefor you need the Betapatch-Installer.";
const char k2005PatchFound[] =
    "Patch for Veldo 2005 found. Please uninstall the Veldo2005 patch first. Therefor you need the Veldo 2005 "
    "patch-Installer.";
const char kAfterUninstallation[] = "After uninstallation, execute this patch again to install it.";
const char kAlreadyInstalled[] = "Patch is already installed. Aborting installation.";
const char kHowToUninstall[] = "To uninstall the patch please execute the file \"Brisco-UnInstall.exe\".";
const char kAttention[] =
    "ATTENTION: Before installing new database updates or game updates you have to uninstall this patch by "
    "executing the file \"Brisco-UnInstall.exe\". Otherwise your database will be corrupt. After installing the "
    "updates this patch can be installed again.\n\n";
const char kWaiting[] = "This will take some time. Please wait until the window closes...";

const char kInstallMarker[] = "vandoril_06.dontdelete";

// Ends a run: waits for a key press and returns the exit status 0.
int Pause() {
  RunShell("pause");
  return 0;
}

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

  if (!FileIsPresent(kInstallMarker)) {
    // Install run: the empty marker shows the installed state from now on.
    std::ofstream(kInstallMarker, std::ios::out | std::ios::trunc);
    std::cout << kAttention;
  } else {
    const bool uninstallRequested =
        FileIsPresent("Brisco-UnInstall.exe") && argc == 2 && std::strcmp(argv[1], "/uninstall") == 0;
    if (!uninstallRequested) return Refuse(kAlreadyInstalled, kHowToUninstall);
    RunShell("del vandoril_06.dontdelete");
  }

  std::cout << kWaiting << std::flush;
  PatchArt01();
  PatchArt02();
  PatchArt03();
  PatchCountryList();
  PatchResultsScript();
  SwapCountryDatabases();
  RemoveBackups();

  RunShell("\"editor.exe -master\"");
  std::cout << std::endl;
  return Pause();
}
