#include "platform/durable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Opens `path` with `flags`, runs fsync on it and closes it.
bool OpenAndSync(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  const int error = errno;
  if (close(fd) != 0 && synced) return false;
  errno = error;
  return synced;
}

}  // namespace

bool MoveReplacing(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SyncFile(const std::string& path) { return OpenAndSync(path, O_RDONLY); }

bool SyncDirectory(const std::string& path) { return OpenAndSync(path, O_RDONLY | O_DIRECTORY); }

bool RemoveFileForced(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

void PrepareForDeletion(const std::string&) {}

bool RemoveEmptyFolder(const std::string& path) {
  return rmdir(path.c_str()) == 0 || errno == ENOENT;
}

bool SyncFileWithPermissionsOf(const std::string& path, const std::string& model) {
  struct stat source;
  if (stat(model.c_str(), &source) == 0) {
    if (chmod(path.c_str(), source.st_mode & 07777) != 0) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  return SyncFile(path);  // the mode goes to disk with the file's own data
}

bool IsNotWritableError(int error) { return error == EACCES || error == EPERM || error == EROFS; }
