#include "platform/rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/durable_files.h"

namespace {

// The folder that holds `path`.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Fails with errno set to `error`.
int Fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(RENAME_NOREPLACE)
  // Atomic where the file system supports it.
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  // EINVAL: the file system cannot do it; ENOSYS, EPERM: an old kernel or a
  // sandbox refuses the call.  Everything below is safe to try in any case.
  if (errno != EINVAL && errno != ENOSYS && errno != EPERM && errno != EOPNOTSUPP) return -1;
#endif
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return -1;
  // A hard link is created only where nothing of that name exists, which
  // keeps the check atomic for regular files.
  if (S_ISREG(st.st_mode)) {
    if (link(from.c_str(), to.c_str()) == 0) {
      // The new name must be on disk before the old one goes: a power cut
      // may otherwise keep the unlink and lose the link, and the file.
      if (!SyncDirectory(FolderOf(to))) {
        const int error = errno;
        unlink(to.c_str());
        return Fail(error);
      }
      if (unlink(from.c_str()) == 0) return 0;
      const int error = errno;
      unlink(to.c_str());  // back to the state before: only `from` names the file
      return Fail(error);
    }
    if (errno == EEXIST) return -1;
  }
  // Last resort, for directories, links and file systems without hard links:
  // check, then rename.  Only "no such file" lets the rename go ahead.
  struct stat existing;
  if (lstat(to.c_str(), &existing) == 0) return Fail(EEXIST);
  if (errno != ENOENT) return -1;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}
