#include "installer/repair.h"

#include <iostream>
#include <string>

#include "installer/roll_back.h"
#include "installer/run_journal.h"

namespace {

const char kStopped[] = "The last run of the patch was stopped before it had finished.";

int CannotRepair(const std::string& problem) {
  std::cout.flush();
  std::cerr << "vandoril-patch: " << kStopped << " Repairing the game folder failed: " << problem
            << ". Close every program that uses the game's files and run the patch again.\n"
            << std::flush;
  return 1;
}

}  // namespace

int RepairStoppedRun() {
  RunJournal journal;
  if (!ReadJournal(journal)) {
    return CannotRepair(std::string("\"") + kJournalFile +
                        "\" is not a journal of this patch, so nothing was changed. If no run of the patch was "
                        "stopped, delete that file");
  }
  std::string problem;
  if (journal.phase == StepsPhase) {
    if (!RollBackRun(journal, problem)) return CannotRepair(problem);
    std::cout << kStopped << " Every file has been put back as it was before that run: the patch is "
              << (journal.uninstall ? "still installed. To remove it, run the patch again with /uninstall."
                                    : "not installed. To install it, run the patch again.")
              << std::endl;
  } else {
    if (!RemoveLeftoverBackups(problem)) return CannotRepair(problem);
    if (!DeleteJournal()) return CannotRepair(std::string("\"") + kJournalFile + "\" could not be deleted");
    std::cout << kStopped << " It had written every file, and its backups are now removed: the patch is "
              << (journal.uninstall ? "removed." : "installed.") << std::endl;
  }
  return 0;
}
