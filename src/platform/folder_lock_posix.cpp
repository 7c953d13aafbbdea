#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

// The lock is held on the folder itself, so that it leaves no file behind.
FolderLockOutcome LockGameFolder() {
  const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FolderLockUnavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return FolderLocked;  // fd stays open until the process ends
  const int error = errno;
  close(fd);
  return error == EWOULDBLOCK ? FolderLockHeldElsewhere : FolderLockUnavailable;
}
