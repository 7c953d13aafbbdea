// The run journal "vandoril_06.journal": what a run that changes the game
// folder is doing, kept on stable storage from before its first change to
// after its last, so that the next run can undo or finish a run that was
// stopped at any instant.
//
// Two lines of text at most:
//   install steps                     ("uninstall ..."; "... removing backups")
//   absent vandoril_06.dontdelete database/country7.sav
// The second line lists the files and folders that the run may create and
// that did not exist when it began; it is left out when there are none.
#pragma once

#include <string>
#include <vector>

enum RunPhase {
  StepsPhase,            // files are being rewritten: a stop is undone
  RemovingBackupsPhase,  // every rewritten file is on stable storage: a stop is finished
};

struct RunJournal {
  bool uninstall = false;
  RunPhase phase = StepsPhase;
  std::vector<std::string> absent;
};

extern const char kJournalFile[];

// True when anything stands under the journal's name.
bool JournalExists();

// Reads the journal; false when it cannot be read or is not one.
bool ReadJournal(RunJournal& journal);

// Writes the journal in one atomic step (through a draft that replaces it)
// and makes it durable.  False with errno set when it could not; the journal
// is then the old one or, when only the last flush failed, the new one.
bool WriteJournal(const RunJournal& journal);

// Deletes the journal; true when it is gone.  The deletion needs not be
// durable: a journal that comes back after a power cut leads the next run to
// repeat what is already done.
bool DeleteJournal();

// Deletes a draft that a run stopped while writing the journal left behind.
void RemoveJournalDraft();
