#include "platform/folder_lock.h"

#include <windows.h>

namespace {
HANDLE lock = INVALID_HANDLE_VALUE;
}  // namespace

// A lock file opened without sharing: a second open fails while the first
// run holds it, and the system deletes it when the handle closes, which
// happens when the process ends, however it ends.  A lock file that a
// crash left behind is simply opened again.
FolderLockOutcome LockGameFolder() {
  const wchar_t kLockFile[] = L"vandoril_06.lock";
  lock = CreateFileW(kLockFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock != INVALID_HANDLE_VALUE) return FolderLocked;  // open until the process ends or unlocks
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return FolderLockHeldElsewhere;
  // A lock file that is being deleted as its run ends refuses new opens.
  if (error == ERROR_ACCESS_DENIED && GetFileAttributesW(kLockFile) != INVALID_FILE_ATTRIBUTES) {
    return FolderLockHeldElsewhere;
  }
  return FolderLockUnavailable;
}

void UnlockGameFolder() {
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);  // deletes the lock file
  lock = INVALID_HANDLE_VALUE;
}
