#include "installer/repair.h"

#include <cerrno>
#include <iostream>
#include <string>

#include "installer/messages.h"
#include "installer/roll_back.h"
#include "installer/run_journal.h"
#include "installer/shared_state.h"

namespace {

int CannotRepair(const std::string& problem, bool byHand = false) {
  PrintWarning(RepairFailed(problem, byHand));
  return 1;
}

// A journal that another program holds, or that the disk could not give,
// may be a good one: the next run follows it.
int RefuseUnreadableJournal(int error) {
  PrintWarning(UnreadableJournal(Because(error)));
  return 1;
}

// The roll-back deletes what a journal names, so only a journal that this
// program wrote is followed.
int RefuseForeignJournal() {
  PrintWarning(ForeignJournal());
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
    if (!RollBackRun(journal, problem)) return CannotRepair(problem, true);
    std::cout << StoppedRunPutBack(journal.uninstall) << std::endl;
  } else {
    if (!FinishDeletingBackups(problem)) return CannotRepair(problem);
    if (!DeleteJournal()) return CannotRepair(CouldNotBeDeleted(kJournalFile) + Because(errno));
    std::cout << StoppedRunFinished(journal.uninstall) << std::endl;
  }
  return 0;
}
