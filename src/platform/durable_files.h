// File operations for the run journal, the roll-back and the repair.  Each
// either takes effect or returns false with errno set to the reason.
#pragma once

#include <string>

// Puts the file `from` in place of `to` in one atomic step, replacing
// whatever file stands under `to` (a read-only one too).
bool MoveReplacing(const std::string& from, const std::string& to);

// Writes the content of the file `path` to stable storage.
bool SyncFile(const std::string& path);

// Writes the entries of the directory `path` (files created, renamed or
// deleted in it) to stable storage.  True at once on Windows, where a
// directory cannot be flushed: there only NTFS's log, written in order,
// stands in for it.
bool SyncDirectory(const std::string& path);

// Deletes the file `path`, read-only or not.  True when nothing stands
// under `path` afterwards, also when nothing stood there before.
bool RemoveFileForced(const std::string& path);

// Lets the system's plain deletion (the interpreter's "del") delete the file
// `path`, read-only or not: clears its read-only attribute on Windows; POSIX
// deletes a read-only file like any other.  A failure is left to that
// deletion, which reports it.
void PrepareForDeletion(const std::string& path);

// Removes the directory `path` when it is empty.  True when nothing stands
// under `path` afterwards.
bool RemoveEmptyFolder(const std::string& path);

// Gives the file `path`, which the run has written (so not read-only), the
// access permissions of the file `model` (its mode bits on POSIX, its
// read-only attribute on Windows), unless nothing stands under `model`, and
// writes the file, content and permissions, to stable storage.
bool SyncFileWithPermissionsOf(const std::string& path, const std::string& model);

// True when the failure `error` (an errno value) means that the folder
// cannot be written at all: access denied or a read-only medium.
bool IsNotWritableError(int error);
