// Every text that the patch and its uninstaller show the player, in their
// own words.  A constant is a whole text; a function builds a text around the
// file names, reasons and counts that it is given.  Functions whose name says
// what failed ("CouldNotBeDeleted") give a fragment that the callers follow
// with a reason (Because()) and join into a sentence of FailRun() or of a
// roll-back's problem.  What the command interpreter itself prints ("pause",
// its complaints) keeps the interpreter's wording in src/platform.
#pragma once

#include <string>
#include <vector>

// Before each line that the patch writes on standard error.
extern const char kMessagePrefix[];  // "vandoril-patch: "

// ---- The driver's fixed texts (standard output) ----

// The editor is not in the current folder.
extern const char kEditorMissing[];
// An earlier beta patch, or the patch for the 2005 edition, is installed.
extern const char kBetaPatchFound[];
extern const char k2005PatchFound[];
// Follows either of the two above.
extern const char kAfterUninstallation[];
// The patch is installed and the run is not an uninstall, then how to uninstall.
extern const char kAlreadyInstalled[];
extern const char kHowToUninstall[];
// Before an install's first step; ends with an empty line.
extern const char kAttention[];
// Before the steps; the progress dots follow it on the same line.
extern const char kWaiting[];

// ---- Refusals before the first change (standard error) ----

// Another run holds the game folder's lock.
extern const char kAnotherRun[];
// Backups `backups` lie in the game folder without a journal.
std::string BackupsInTheWay(const std::vector<std::string>& backups);
// The install marker stands, or may stand, but cannot be read.
std::string UnreadableMarker();
// Windows keeps copies of `files` for the player's account in `folder`.
std::string ShadowCopiesInTheWay(const std::string& folder, const std::vector<std::string>& files);
// The survey found `problem`, which a roll-back could not get past.
std::string UnsafeRun(const std::string& problem);
// The journal cannot be read now; `reason` as Because() gives it.
std::string UnreadableJournal(const std::string& reason);
// The journal was not written by this patch.
std::string ForeignJournal();

// ---- The repair of a stopped run ----

// Begins each of the three texts below.
extern const char kStopped[];
// The repair failed on `problem`; with what to do by hand when `byHand`.
std::string RepairFailed(const std::string& problem, bool byHand);
// A stopped run was undone: the patch is as it was before it.
std::string StoppedRunPutBack(bool uninstall);
// A stopped run that had written every file was finished.
std::string StoppedRunFinished(bool uninstall);
// What to do by hand when a roll-back fails again and again.
extern const char kPutBackByHand[];

// ---- A run that fails or cannot end ----

// The game folder refuses the journal: access denied or a read-only medium.
extern const char kNotWritable[];
// The journal could not be written before the first change, for `reason`.
std::string JournalNotBegun(const std::string& reason);
// `failed` (JournalCouldNotBeWritten() and its reason), when the journal on disk is
// uncertain: the run stops where it is and the next run repairs.
std::string RunStoppedHalfway(const std::string& failed);
// `what` failed, and the roll-back put every file back.
std::string FailedAndUndone(const std::string& what);
// `what` failed, and the roll-back failed too, on `problem`.
std::string FailedAndNotUndone(const std::string& what, const std::string& problem);
// The run is complete but `problem` kept some backups or the journal.
std::string BackupsNotRemoved(bool uninstall, const std::string& problem);
// On its own line after the failure of an archive step, and of the country
// list or results script step.
extern const char kArchiveStepError[];  // "error2!!!"
extern const char kTextStepError[];     // "error!!!"
// The country list `list` does not have exactly one record of each of the
// two countries; the list is left as it was.
std::string CountryRecordsWrong(const std::string& list, int sanMarinoCount, int netherlandsCount);

// ---- What failed: fragments followed by a reason ----

std::string JournalCouldNotBeWritten();  // the run journal "vandoril_06.journal" could not be written
std::string MarkerNotCreated();   // the install marker "vandoril_06.dontdelete" could not be created
std::string MarkerNotDeleted();   // the install marker "vandoril_06.dontdelete" could not be deleted
std::string CannotTellWhetherExists(const std::string& name);  // it cannot be told whether "NAME" exists
// it cannot be told whether "FILE" was moved to "BACKUP"
std::string CannotTellWhetherMoved(const std::string& file, const std::string& backup);
std::string CannotTellWhetherTheRunMade(const std::string& file);  // it cannot be told whether this run made "FILE"
// "FILE" could not be moved to "BACKUP"
std::string CouldNotBeMovedTo(const std::string& file, const std::string& backup);
// "BACKUP" could not be put back as "FILE"
std::string CouldNotBePutBackAs(const std::string& backup, const std::string& file);
std::string CouldNotBeDeleted(const std::string& name);        // "NAME" could not be deleted
std::string CouldNotBeRemoved(const std::string& name);        // "NAME" could not be removed
std::string CouldNotBeCreatedAgain(const std::string& name);   // "NAME" could not be created again
std::string CouldNotBeReadBack(const std::string& file);       // "FILE" could not be read back
std::string CouldNotBeWrittenToDisk(const std::string& name);  // "NAME" could not be written to disk
// "FILE" could not be written to disk with its permissions
std::string NotWrittenWithItsPermissions(const std::string& file);
std::string FolderNotWrittenToDisk(const std::string& folder);     // the folder "FOLDER" could not be written to disk
std::string FolderNotListed(const std::string& folder);            // the folder "FOLDER" could not be listed
std::string FolderNotRemoved(const std::string& folder);           // the folder "FOLDER" could not be removed
std::string FolderNotListedAndWritten(const std::string& folder);  // the folder "FOLDER" cannot be listed and written
// "FOLDER" is not a folder, so the files in it could not be put back
std::string NotAFolderSoNotPutBack(const std::string& folder);
std::string IsALinkNotAFolder(const std::string& name);   // "NAME" is a link, not a folder
std::string IsNotAFolder(const std::string& name);        // "NAME" is not a folder
std::string IsAFolderNotAFile(const std::string& name);   // "NAME" is a folder, not a file
std::string CannotBeRead(const std::string& name);        // "NAME" cannot be read
std::string WasNotFound(const std::string& file);         // "FILE" was not found
std::string NotOpenedForReading(const std::string& file);  // "FILE" could not be opened for reading
std::string NotOpenedForWriting(const std::string& file);  // "FILE" could not be opened for writing
// reading "FILE" failed (I/O error), its reason included.
std::string ReadingFailed(const std::string& file);
// writing "FILE" failed, with Because(error) when the disk is full, else
// with " (disk full or I/O error)".
std::string WritingFailed(const std::string& file, int error);

// Why a file operation failed with the errno value `error`, as " (...)" to
// follow what failed, in words a player can act on where there are such
// (a file in use by another program, access denied, a full disk); "" for 0,
// and for any other reason when `anyReason` is false.
std::string Because(int error, bool anyReason = true);

// ---- The uninstaller (Brisco-UnInstall.exe) ----

// The patch `patch` is not in the uninstaller's folder `folder`; one line
// with the uninstaller's name before it.
std::string PatchNotBesideUninstaller(const std::string& patch, const std::string& folder);
// Neither the install marker nor a journal is in `folder`.
std::string NotInstalledHere(const std::string& folder);

// ---- The platform layer ----

// The Windows command interpreter could not be started, for `reason` (the
// system's line).
std::string InterpreterNotStarted(const std::string& reason);

// Every text above, each function's with sample names and counts, and
// Because() with each of its own reasons: what the documents that quote the
// program are checked against.
std::vector<std::string> AllMessageTexts();
