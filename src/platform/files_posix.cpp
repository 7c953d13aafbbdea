#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

PathLookup LookUp(const std::string& path) {
  PathLookup found;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    found.error = errno;
    found.state = errno == ENOENT ? PathAbsent : PathUnknown;
    return found;
  }
  found.state = PathPresent;
  found.kind = S_ISREG(st.st_mode) ? PlainFile : S_ISDIR(st.st_mode) ? Folder : S_ISLNK(st.st_mode) ? Link : OtherKind;
  found.size = found.kind == PlainFile ? static_cast<std::uint64_t>(st.st_size) : 0;
  return found;
}

SameFileAnswer SameFile(const std::string& first, const std::string& second, int& error) {
  struct stat a, b;
  for (const auto& [path, st] : {std::make_pair(&first, &a), std::make_pair(&second, &b)}) {
    if (lstat(path->c_str(), st) == 0) continue;
    error = errno;
    return error == ENOENT ? DifferentFiles : SameFileUnknown;
  }
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino ? OneFile : DifferentFiles;
}

bool PlainFileCanBeRead(const std::string& path) {
  // With the effective ids, as an open checks them.
  return faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
}

bool OpensAsReadableFile(const std::string&) { return false; }

bool FolderCanBeChanged(const std::string& folder, int& error) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) {
    error = errno;
    return false;
  }
  errno = 0;
  const bool listed = readdir(listing) != nullptr || errno == 0;
  error = errno;
  closedir(listing);
  if (!listed) return false;
  if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
  error = errno;
  return false;
}

int LastFileError() { return errno; }
