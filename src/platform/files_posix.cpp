#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

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
