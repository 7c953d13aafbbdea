// Riding out a brief hold of another program on a file.  Virus scanners and
// the search indexer open a file for a moment right after it was written or
// renamed, or as another program first opens it, and an operation on it
// meanwhile fails although a moment later it would succeed.  Only Windows
// refuses an operation on a file that another program holds: on POSIX each
// operation is carried out once.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Windows only.  Carries out `operation`, a Windows call that returns true on
// success and otherwise leaves the reason in GetLastError(), once more after
// growing waits (10 ms, 20 ms, ...) for about 2 s in all, as long as it fails
// because another program holds a file: a sharing or lock violation; access
// denied to a file that is being deleted, or to one of `paths` (the files
// that it moves away, replaces or deletes) that is not read-only, in a folder
// that can be written (a file held open without delete sharing); or the
// folder `paths` names "not empty" only because of files being deleted.  Returns
// the last result, with GetLastError() at the last reason, a held file's
// access denied (a file being deleted included) given as a sharing violation.
bool RetriedWhileHeld(const std::function<bool()>& operation, const std::vector<std::wstring>& paths = {});

// Carries out `open`, a C runtime open that returns true on success and
// otherwise leaves the reason for LastFileError(), once more after the same
// waits as long as another program holds the file (EBUSY).
bool OpenedWhileHeld(const std::function<bool()>& open);

// Windows only.  True when the last failed file call was refused because its
// file is being deleted and keeps its name until the last program that has it
// open (a scanner) closes it: a hold like any other.
bool LastFailureIsPendingDeletion();
