// One run of the patch at a time in a game folder.
#pragma once

enum FolderLockOutcome { FolderLocked, FolderLockHeldElsewhere, FolderLockUnavailable };

// Takes an exclusive lock on the game folder (the current directory) for
// the rest of the process; the system releases it when the process ends,
// however it ends, and programs started from it do not inherit it.
// FolderLockUnavailable: the lock could not be taken for another reason
// (a folder that cannot be written, a file system without locks).
FolderLockOutcome LockGameFolder();

// Releases the lock taken by LockGameFolder(), if any, before the program
// starts another that could outlive it.
void UnlockGameFolder();
