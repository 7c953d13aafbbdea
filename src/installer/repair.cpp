#include "installer/repair.h"

#include <cerrno>
#include <iostream>
#include <string>

#include "installer/game_files.h"
#include "installer/roll_back.h"
#include "installer/run_control.h"
#include "installer/run_journal.h"
#include "installer/shared_state.h"

namespace {

const char kStopped[] = "The last run of the patch was stopped before it had finished.";

int CannotRepair(const std::string& problem, const char* byHand = "") {
  PrintWarning(std::string(kStopped) + " Repairing the game folder failed: " + problem +
               ". Close every program that uses the game's files and run the patch again." + (*byHand ? " " : "") +
               byHand);
  return 1;
}

// A journal that another program holds, or that the disk could not give,
// may be a good one: the next run follows it.
int RefuseUnreadableJournal(int error) {
  PrintWarning(std::string("\"") + kJournalFile +
               "\" cannot be read now: close the programs that hold it and run the patch again. Nothing was changed" +
               Because(error) + ".");
  return 1;
}

// The roll-back deletes what a journal names, so only a journal that this
// program wrote is followed.
int RefuseForeignJournal() {
  PrintWarning(std::string("\"") + kJournalFile +
               "\" is not a journal of this patch: it is damaged, or another program wrote it. Nothing was changed. "
               "Move that file out of the game folder and run the patch again; if a stopped run left backups, the "
               "patch then names them and changes nothing until they are put right.");
  return 1;
}

}  // namespace

int RepairStoppedRun() {
  RunJournal journal;
  const JournalRead read = ReadJournal(journal);
  if (read == JournalUnreadable) return RefuseUnreadableJournal(errno);
  if (read == JournalForeign) return RefuseForeignJournal();
  std::string problem;
  if (journal.phase == StepsPhase) {
    if (!RollBackRun(journal, problem)) return CannotRepair(problem, kPutBackByHand);
    std::cout << kStopped << " Every file has been put back as it was before that run: the patch is "
              << (journal.uninstall ? "still installed. To remove it, run the patch again with /uninstall."
                                    : "not installed. To install it, run the patch again.")
              << std::endl;
  } else {
    if (!FinishDeletingBackups(problem)) return CannotRepair(problem);
    if (!DeleteJournal()) return CannotRepair(std::string("\"") + kJournalFile + "\" could not be deleted" + Because(errno));
    std::cout << kStopped << " It had written every file, and its backups are now removed: the patch is "
              << (journal.uninstall ? "removed." : "installed.") << std::endl;
  }
  return 0;
}
