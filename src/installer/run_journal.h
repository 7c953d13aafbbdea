// The run journal "vandoril_06.journal": what a run that changes the game
// folder is doing, kept on stable storage from before its first change to
// after its last, so that the next run can undo or finish a run that was
// stopped at any instant.
//
// Two to four lines of text, each ended by LF:
//   install steps                     ("uninstall ..."; "... removing backups")
//   created vandoril_06.dontdelete database/country34.sav
//   written database/country34.sav 20480 0a1b2c3d
//   checksum 5f2c01d7
// The "created" line lists the files and folders that did not exist when the
// run began and that the run has created, or is about to create: each is
// named (and the journal made durable) before its creation.  The "written"
// line gives, for a created file that the run wrote bytes into, its size and
// CRC-32 once it is on stable storage, so that a file put in its place later
// can be told from it; a file being written again loses its entry first.
// Each line is left out when it would be empty.  The last line is the CRC-32
// of the lines before it, in eight lowercase hex digits.  The roll-back
// deletes what the journal names, so a journal is read only when it has
// exactly this form, its checksum matches and every name it lists is one of
// the run's own (FilesTheRunChanges()), once in each line, and every written
// one is a created one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum RunPhase {
  StepsPhase,            // files are being rewritten: a stop is undone
  RemovingBackupsPhase,  // every rewritten file is on stable storage: a stop is finished
};

// A created file as the run wrote it.
struct WrittenFile {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};

struct RunJournal {
  bool uninstall = false;
  RunPhase phase = StepsPhase;
  std::vector<std::string> created;
  std::vector<WrittenFile> written;
};

extern const char kJournalFile[];

enum JournalRead {
  JournalFollowed,    // read whole, and one that this program wrote
  JournalUnreadable,  // could not be opened or read now (a hold, an I/O error): errno says why
  JournalForeign,     // not one that this program wrote
};

// Reads the journal.  Foreign: anything but a plain file, or one read whole
// that has another form, a checksum that does not match, a name that a run
// cannot create, or a name twice.
JournalRead ReadJournal(RunJournal& journal);

// The journal's text, checksum line included.
std::string FormatJournal(const RunJournal& journal);

// Parses a journal's text; the same rules as ReadJournal().
bool ParseJournal(const std::string& text, RunJournal& journal);

enum JournalWrite {
  JournalWritten,     // the new journal stands, on stable storage
  JournalNotWritten,  // the old journal stands: the draft never replaced it
  JournalUncertain,   // the new one may stand, or the old one after a power cut
};

// Writes the journal in one atomic step (through a draft that replaces it)
// and makes it durable.  Sets errno to the reason when it could not.
JournalWrite WriteJournal(const RunJournal& journal);

// Deletes the journal's draft, if a write cut short left one, then the
// journal; true when both are gone, with errno set to the reason otherwise.
// The deletion needs not be durable: a journal that comes back after a power
// cut leads the next run to repeat what is already done.
bool DeleteJournal();
