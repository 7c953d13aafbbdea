#include "platform/durable_files.h"

#include <windows.h>

#include <cerrno>

#include "platform/brief_holds.h"
#include "platform/system_errors.h"
#include "platform/wide_path.h"

namespace {

// Sets errno from the last Windows error and returns false.
bool Failed() {
  errno = ErrnoOfSystemError(GetLastError());
  return false;
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Clears the read-only attribute of `path`, if it has one.
void MakeWritable(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    RetriedWhileHeld([&] { return SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0; });
  }
}

}  // namespace

// MOVEFILE_WRITE_THROUGH only makes the call wait until a move that copies
// (to another volume) has been flushed.  The moves made here stay within one
// volume: a change of metadata that nothing flushes, and that NTFS writes
// through its log, in order (see SyncDirectory()).
bool MoveReplacing(const std::string& from, const std::string& to) {
  const std::wstring target = WidePath(to);
  MakeWritable(target);
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return RetriedWhileHeld([&] { return MoveFileExW(WidePath(from).c_str(), target.c_str(), flags) != 0; }, {target}) ||
         Failed();
}

bool SyncFile(const std::string& path) {
  HANDLE file = INVALID_HANDLE_VALUE;
  const bool opened = RetriedWhileHeld([&] {
    file = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  if (!opened) return Failed();
  const bool flushed = FlushFileBuffers(file) != 0;
  const DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return flushed || Failed();
}

// A directory cannot be flushed on Windows: this does nothing.  What the
// flush of a folder gives on POSIX, NTFS gives by its log, which it writes
// and replays after a power cut in order, so that a change of a folder's
// entries is on disk only with every one made before it.  FAT32 and exFAT
// keep no log and give no such order.
bool SyncDirectory(const std::string&) { return true; }

bool RemoveFileForced(const std::string& path) {
  const std::wstring file = WidePath(path);
  MakeWritable(file);
  return RetriedWhileHeld([&] { return DeleteFileW(file.c_str()) != 0; }, {file}) || IsMissing(GetLastError()) ||
         Failed();
}

void PrepareForDeletion(const std::string& path) { MakeWritable(WidePath(path)); }

bool RemoveEmptyFolder(const std::string& path) {
  const std::wstring folder = WidePath(path);
  return RetriedWhileHeld([&] { return RemoveDirectoryW(folder.c_str()) != 0; }, {folder}) ||
         IsMissing(GetLastError()) || Failed();
}

// The flush comes first: a read-only file cannot be opened for it.  The
// attribute change that follows is metadata: on NTFS it reaches the disk
// through the log, before any later change of a folder's entries.
bool SyncFileWithPermissionsOf(const std::string& path, const std::string& model) {
  if (!SyncFile(path)) return false;
  const DWORD source = GetFileAttributesW(WidePath(model).c_str());
  if (source == INVALID_FILE_ATTRIBUTES) return IsMissing(GetLastError()) || Failed();
  // The file was made by the run, without the read-only attribute: only a
  // read-only model changes it.
  if ((source & FILE_ATTRIBUTE_READONLY) == 0) return true;
  const std::wstring target = WidePath(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed();
  const DWORD wanted = (attributes & ~FILE_ATTRIBUTE_READONLY) | (source & FILE_ATTRIBUTE_READONLY);
  return wanted == attributes || RetriedWhileHeld([&] { return SetFileAttributesW(target.c_str(), wanted) != 0; }) ||
         Failed();
}

bool IsNotWritableError(int error) { return error == EACCES || error == EPERM || error == EROFS; }
