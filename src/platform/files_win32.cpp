#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/brief_holds.h"
#include "platform/files.h"
#include "platform/system_errors.h"
#include "platform/wide_path.h"

namespace {

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The errno value of the last Windows error, a held file's as EBUSY.
int ErrnoOfLastError() {
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? EBUSY : ErrnoOfSystemError(error);
}

// The volume and the file index of `path`, a link not followed.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const std::wstring wide = WidePath(path);
  HANDLE handle = INVALID_HANDLE_VALUE;
  const bool opened = RetriedWhileHeld([&] {
    handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  });
  if (!opened) return false;
  const bool read = GetFileInformationByHandle(handle, &info) != 0;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  SetLastError(error);
  return read;
}

// Opens `path` for reading and closes it: false, with the Windows error,
// when it cannot be opened.  Without FILE_FLAG_BACKUP_SEMANTICS a folder
// cannot be.
bool OpensForReading(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

}  // namespace

PathLookup LookUp(const std::string& path) {
  PathLookup found;
  WIN32_FILE_ATTRIBUTE_DATA data;
  const std::wstring wide = WidePath(path);
  if (!RetriedWhileHeld([&] { return GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) != 0; })) {
    found.state = IsMissing(GetLastError()) ? PathAbsent : PathUnknown;
    found.error = ErrnoOfLastError();
    return found;
  }
  found.state = PathPresent;
  const DWORD attributes = data.dwFileAttributes;
  found.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Link : (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Folder : PlainFile;
  if (found.kind == PlainFile) found.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return found;
}

SameFileAnswer SameFile(const std::string& first, const std::string& second, int& error) {
  BY_HANDLE_FILE_INFORMATION a, b;
  for (const auto& [path, info] : {std::make_pair(&first, &a), std::make_pair(&second, &b)}) {
    if (FileIdentity(*path, *info)) continue;
    error = ErrnoOfLastError();
    return IsMissing(GetLastError()) ? DifferentFiles : SameFileUnknown;
  }
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                 a.nFileIndexLow == b.nFileIndexLow
             ? OneFile
             : DifferentFiles;
}

bool PlainFileCanBeRead(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (!RetriedWhileHeld([&] { return OpensForReading(wide); })) return errno = ErrnoOfLastError(), false;
  return true;
}

// No hold is waited out here: a failure is left to the lookup that follows.
bool OpensAsReadableFile(const std::string& path) { return OpensForReading(WidePath(path)); }

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
  if (error == EACCES && _doserrno == ERROR_ACCESS_DENIED && LastFailureIsPendingDeletion()) return EBUSY;
  return error;
}
