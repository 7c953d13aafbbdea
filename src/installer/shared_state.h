// The working state that the patch steps share, and the one contract by which
// every rewriting step opens, checks and closes its two files.
//
// A rewriting step moves its file to a backup name, then:
//   if (!OpenStepFiles(backup, target)) ...   // step decides: error text or skip
//   ... read sharedInput, write sharedOutput ...
//   CloseStepFiles();
// CloseStepFiles() ends the program with status 1 when reading the backup or
// writing the target failed, naming the backup that still holds the previous
// content, so that no later step (and above all the removal of the backups)
// ever runs after data could not be written.
#pragma once

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

// Closes sharedInput, then sharedOutput, and resets both to good.  When a read
// of the backup failed (other than at its end) or a write or the close of the
// target failed, writes a message naming both files to standard error and
// ends the program with status 1.
void CloseStepFiles();

// Writes a step's error text (without line end) to standard error and ends
// the program with status 1.
[[noreturn]] void FailStep(const char* errorText);

// Writes "vandoril-patch: ", `message` and a line end to standard error,
// after whatever standard output holds.
void PrintWarning(const std::string& message);

// Writes one progress dot to standard output and makes it visible at once.
void PrintProgressDot();
