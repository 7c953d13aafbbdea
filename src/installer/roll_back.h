// Undoing and finishing a run from what the game folder holds.  Every
// backup of a run lies under a fixed name (game_files.h), so the folder and
// the journal tell all that is needed, whatever the instant at which the run
// stopped.  Each function here is safe to repeat from any instant of an
// earlier call.  A lookup that the system cannot answer is never taken for
// a missing file: it fails the call, and keeps what it would have deleted.
#pragma once

#include <string>

#include "installer/run_journal.h"

// Puts every file back from its backup (the backup replacing the file, or,
// where a move stopped halfway left two names of one file, the backup name
// deleted) and makes that durable; only then deletes the intermediate files
// and those that the journal names as created by the run (while they are
// still the run's), removes "database/bak" (and "database" when the run made
// it and it is empty), sets the install marker back to what it was, makes
// all of it durable and at last deletes the journal and its draft.  False,
// with `problem` saying what could not be done, when any of it failed: the
// journal then stays for the next run, and when a file could not be put back
// nothing was deleted.  A "database/bak" that is not a folder (a link) is
// never followed.
bool RollBackRun(const RunJournal& journal, std::string& problem);

// Deletes every backup that is left of a run whose rewritten files are all
// on stable storage, read-only ones too, and makes the deletions durable, so
// that the journal can be deleted next.  False, with `problem` naming what
// could not be deleted or flushed, when one stays.  Repeating it changes
// nothing.
bool FinishDeletingBackups(std::string& problem);
