// Riding out a brief hold of another program on a file.  Windows only
// (brief_holds_win32.cpp): virus scanners and the search indexer open a file
// for a moment right after it was written or renamed, and an operation on it
// meanwhile fails although a moment later it would succeed.
#pragma once

#include <functional>

// Carries out `operation`, which returns true on success and otherwise leaves
// the reason in GetLastError(), once more after growing waits (10 ms, 20 ms,
// ...) for about 2 s in all, as long as it fails because another program
// holds the file: a sharing or lock violation, or access denied to a file
// that is being deleted.  Returns the last result, with GetLastError() at
// the last reason.
bool RetriedWhileHeld(const std::function<bool()>& operation);
