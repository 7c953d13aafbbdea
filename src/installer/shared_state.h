// The working state that the patch steps share, and the one contract by which
// every rewriting step opens, checks and closes its two files.
//
// A rewriting step moves its file to a backup name, then:
//   if (!OpenStepFiles(backup, target)) ...   // step decides: fail or go on
//   ... read sharedInput, write sharedOutput ...
//   CloseStepFiles();
// CloseStepFiles() fails the run (which undoes it) when reading the backup or
// writing the target failed, so that no later step (and above all the
// removal of the backups) ever runs after data could not be written.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

// One of each for the whole process; both streams are closed and good
// between steps.  All files are opened in binary mode: text-mode line ends are
// handled by the line reader and writer.
extern std::ifstream sharedInput;
extern std::ofstream sharedOutput;
extern std::string sharedScratchLine;
extern std::string sharedLineBuffer;
extern std::streampos sharedFilePosition;

// Opens `backup` for reading on sharedInput, then `target` for writing with
// truncation on sharedOutput.  When the backup cannot be opened while
// something named `target` still exists, the target is left untouched and
// sharedOutput stays closed: its content was never moved to the backup.
// Returns true when both streams are open.  `targetBackup` names where the
// target's previous content is kept, for the failure message, when that is
// not `backup` itself (a file written from another file's backup).
bool OpenStepFiles(const std::string& backup, const std::string& target, const std::string& targetBackup = {});

// Copies the input from its end-of-file mark on (NoteEndOfFileMark()), if it
// has one, to sharedOutput; closes sharedInput, then sharedOutput, and resets
// both to good; after HandStepDataToDisk() was called, asks the system to
// start writing the rest of the target to disk and to drop the backup from
// memory.  When a read of the
// backup failed (other than at its end) or a write or the close of the target
// failed, fails the run with a message naming the file.  Otherwise records
// the target as rewritten.
void CloseStepFiles();

// Between blocks of a big file: at every eighth call, asks the system to
// start writing to disk what sharedOutput has passed on so far, and to drop
// from memory what sharedInput has read of the backup.  Costs a few system
// calls (and opens the files for the hints the first time); does nothing
// when the step's files are not open.
void HandStepDataToDisk();

// Moves `file` to `backup` by a rename that never replaces anything.  A file
// that stays in place (a backup in the way, a locked file) is never written
// from anything else: the run fails with `errorText`.  A missing file is
// left to OpenStepFiles() to report.
void MoveToBackup(const std::string& file, const std::string& backup, const char* errorText);

// Fails the run, with `errorText`, when `file` still stands in place after
// the command that was to move it to `backup`; `error` is the errno value
// that the command left (see RunShell()).
void FailIfNotMoved(const std::string& file, const std::string& backup, int error, const char* errorText = "");

// Says in plain words why OpenStepFiles() returned false, for FailRun().
std::string DescribeOpenFailure();

// Records that the text of the step's input ends at the text-mode end-of-file
// mark Ctrl-Z (0x1A) at byte `offset`.  CloseStepFiles() then writes that byte
// and every byte after it, unchanged, after the rewritten text: a reader that
// stops at the mark sees the rewrite, and nothing of the file is lost.
void NoteEndOfFileMark(std::uint64_t offset);

// Writes "vandoril-patch: ", `message` and a line end to standard error,
// after whatever standard output holds.
void PrintWarning(const std::string& message);

// Writes one progress dot to standard output and makes it visible at once.
void PrintProgressDot();

// True once a progress dot has been written: the console line is open.
bool ProgressLineOpen();
