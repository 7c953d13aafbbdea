// The system calls behind the built-in command interpreter
// (command_interpreter.cpp), one variant per platform.  Paths are passed as
// the command lines spell them, with backslashes (or slashes) between
// directories.  A result of type unsigned long is 0 for success or a system
// error code (system_errors.h).
#pragma once

#include <string>
#include <vector>

enum PathKind { kNothingThere, kFileThere, kDirectoryThere };

// What stands under `path`, a link at its end not followed.  Something that
// is there but cannot be examined counts as a file.
PathKind KindOfPath(const std::string& path);

// True when `path` names a directory, or a link to one.
bool IsDirectoryPath(const std::string& path);

// Creates the directory `path` in its existing parent.
unsigned long CreateDirectoryAt(const std::string& path);

// Renames the file `from` to `to`; never replaces anything under `to`.
unsigned long MoveFileNoReplace(const std::string& from, const std::string& to);

// Deletes the file `path` as the system's plain deletion does (Windows
// refuses a read-only file).
unsigned long DeleteFileAt(const std::string& path);

// Deletes every file directly in the directory `path`, read-only ones too;
// subdirectories, links to directories and everything below them stay.
// Sets `found` to the number of files found.  Returns the codes of the
// failures in order: one for a directory that cannot be listed (nothing is
// deleted then), one for each file that cannot be deleted.
std::vector<unsigned long> DeleteFilesDirectlyIn(const std::string& path, int* found);

// Removes the directory `path` when it is empty: kFileNotFound when nothing
// is there, kDirectoryNotEmpty, kDirectoryNameInvalid for anything but a
// directory.
unsigned long RemoveEmptyDirectoryAt(const std::string& path);

// The absolute form of `path` in the system's spelling, for complaints.
std::string FullPathOf(const std::string& path);

// The system's own line for a code that the table of system_errors.h lacks.
std::string UnlistedErrorText(unsigned long code);

// "pause": waits for a key.  On Windows cmd.exe runs it ("cmd /d /c pause",
// AutoRun off), so that the player sees the real interpreter's prompt.
int RunPauseCommand(const std::string& commandLine);

// The editor's start, "editor.exe -master" in quotes: runs the game folder's
// editor with the argument -master and waits.
int RunEditorCommand(const std::string& commandLine);

// Any line that the interpreter does not carry out itself: on Windows
// "cmd /d /c" runs it; elsewhere it is refused with `refusal` on
// standard error and a non-zero status.
int RunOtherCommand(const std::string& commandLine, const std::string& refusal);
