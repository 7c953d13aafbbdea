#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {
int lockFd = -1;
}  // namespace

// The lock is held on the folder itself, so that it leaves no file behind.
FolderLockOutcome LockGameFolder() {
  const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FolderLockUnavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    lockFd = fd;  // open until the process ends or unlocks
    return FolderLocked;
  }
  const int error = errno;
  close(fd);
  return error == EWOULDBLOCK ? FolderLockHeldElsewhere : FolderLockUnavailable;
}

// A child started between fork and exec would hold a copy of the descriptor,
// and with it the lock, for as long as it lives.
void UnlockGameFolder() {
  if (lockFd >= 0) close(lockFd);
  lockFd = -1;
}
