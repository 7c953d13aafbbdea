// The life of a run that changes the game folder: begun with its journal,
// undone as a whole when anything fails, made durable before any backup is
// deleted, and ended by deleting the journal.
#pragma once

#include <string>
#include <vector>

// Writes the journal of an install or uninstall run, before anything else
// changes, and keeps `absent`, the files and folders of the run that do not
// exist yet (see SurveyGameFolder()).  An install's first change creates the
// install marker, so its journal names the marker from the start.  When it
// cannot, says why (and what to do when the folder cannot be written) on
// standard error and ends the program with status 1.
void BeginRun(bool uninstall, const std::vector<std::string>& absent);

// Whether a missing `backup` is no loss: nothing stood, when the run began,
// under the name whose content it would hold, as the survey before the
// first change found.  When no run has begun (a step run alone): whether
// nothing stands under `backup` now.
bool BackupNeverExisted(const std::string& backup);

// Called before the run creates `file` where nothing stands.  When `file` did
// not exist as the run began, names it in the journal, made durable, as one
// that a roll-back deletes (and forgets what it recorded of an earlier
// write of it); every other file the roll-back puts back from its backup, or
// leaves alone.  When the journal cannot be written, fails the run, or ends
// it where it stands with status 1 when the journal on disk is uncertain.
void NoteFileToCreate(const std::string& file);

// Called when the step contract has written `file` completely.  When the
// run created `file` and wrote bytes into it, writes it to stable storage and
// records its size and CRC-32 in the journal, made durable, so that the
// roll-back deletes it only while it is still the run's.  Fails the run when
// it cannot.
void NoteCreatedFileWritten(const std::string& file);

// Ends a run that cannot go on: closes the shared streams, undoes every
// change of a begun run, then writes one line on standard error saying that
// `what` failed and whether the folder is as it was, then `errorText`, and
// ends the program with status 1 (after a wait for a key when the console
// window would close with the program).
[[noreturn]] void FailRun(const std::string& what, const char* errorText = "");

// Records that `file` has been rewritten completely, and that `previous`
// holds what it replaced (whose permissions it is given).  The first record
// of a file counts: later rewrites replace the run's own intermediate text.
void NoteRewrittenFile(const std::string& file, const std::string& previous);

// After the last rewriting step: gives every rewritten file the permissions
// of the file it replaced, writes the files and their folders to stable
// storage, and moves the journal on to removing the backups, whose
// read-only attributes it then clears.  Fails the run when any of it fails.
void MakeRunDurable();

// After RemoveBackups(): deletes any backup that is left, then the journal
// and its draft.
// Returns 0; or 1 after saying on standard error what could not be deleted,
// with the journal kept so that the next run finishes the job.
int EndRun();

// Ends a run that failed with status 1: waits for a key first when the
// console window would close with the program, so that the message stays
// readable.  Returns 1.
int EndFailedRun();
