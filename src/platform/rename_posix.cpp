#include "platform/rename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(SYS_renameat2)
  // Atomic where the file system supports it.
  constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kRenameNoReplace) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  // Without it: a hard link is created only where nothing of that name
  // exists, which keeps the check atomic for regular files.
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return -1;
  if (S_ISREG(st.st_mode) && link(from.c_str(), to.c_str()) == 0) {
    if (unlink(from.c_str()) == 0) return 0;
    unlink(to.c_str());
    return -1;
  }
  if (errno == EEXIST || Exists(to)) return -1;
  // Last resort on file systems without hard links: check, then rename.
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : -1;
}
