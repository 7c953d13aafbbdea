#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files.h"
#include "platform/wide_path.h"

bool IsLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Listing is tried; whether entries may be created is left to the run, which
// undoes itself when it cannot (Windows cannot tell it without a change).
bool FolderCanBeChanged(const std::string& folder, int& error) {
  WIN32_FIND_DATAW entry;
  const HANDLE listing = FindFirstFileW(WidePath(folder + "\\*").c_str(), &entry);
  if (listing != INVALID_HANDLE_VALUE) {
    FindClose(listing);
    return true;
  }
  const DWORD code = GetLastError();
  error = code == ERROR_ACCESS_DENIED ? EACCES : code == ERROR_DIRECTORY ? ENOTDIR
          : code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
  return false;
}

int LastFileError() {
  const int error = errno;
  if (error == EACCES && (_doserrno == ERROR_SHARING_VIOLATION || _doserrno == ERROR_LOCK_VIOLATION)) return EBUSY;
  return error;
}
