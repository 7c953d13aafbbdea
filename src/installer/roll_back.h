// Undoing and finishing a run from what the game folder holds.  Every
// backup of a run lies under a fixed name, so the folder and the journal
// tell all that is needed, whatever the instant at which the run stopped.
// Each function here is safe to repeat from any instant of an earlier call.
#pragma once

#include <string>
#include <vector>

#include "installer/run_journal.h"

extern const char kInstallMarker[];

// What to do by hand when a roll-back fails again and again.
extern const char kPutBackByHand[];

// The files and folders that a run may create or rewrite, by their own
// names: the install marker, the archives, "database", the country list,
// the results script and the 206 country databases.
std::vector<std::string> FilesTheRunChanges();

// The name of the file whose content from before the run the backup
// `backup` holds; `backup` itself when it is none of the run's backups.
std::string OriginalName(const std::string& backup);

// The backups that stand in the folder now, named as the player finds them:
// "art_01.bak" .. "art_03.bak", "script/Results.bak", "database\bak".
std::vector<std::string> BackupsInTheFolder();

// Puts every file back from its backup (the backup replacing the file) and
// makes that durable; only then deletes the intermediate files and those
// that the journal names as created by the run (while they are still the
// run's), removes "database/bak" (and "database" when the run made it and
// it is empty), sets the install marker back to what it was, makes all of
// it durable and at last deletes the journal.  False, with `problem` saying
// what could not be done, when any of it failed: the journal then stays for
// the next run, and when a file could not be put back nothing was deleted.
bool RollBackRun(const RunJournal& journal, std::string& problem);

// Deletes every backup that is left of a run whose rewritten files are all
// on stable storage, read-only ones too, and makes the deletions durable, so
// that the journal can be deleted next.  False, with `problem` naming what
// could not be deleted or flushed, when one stays.  Repeating it changes
// nothing.
bool RemoveLeftoverBackups(std::string& problem);
