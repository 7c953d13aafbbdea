#include "platform/brief_holds.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/files.h"

namespace {

constexpr DWORD kFirstWaitMs = 10;
constexpr DWORD kAllWaitsMs = 2000;

// The NTSTATUS behind the last error, looked up once before any file call.
using LastNtStatus = LONG(WINAPI*)();
const LastNtStatus lastNtStatus = reinterpret_cast<LastNtStatus>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));

// Carries out `operation` until it succeeds, `held` says that its failure is
// not a hold, or the waits are over.  `held` is asked right after each
// failure, and GetLastError() is kept for the caller across it.
bool Retried(const std::function<bool()>& operation, const std::function<bool()>& held) {
  DWORD waited = 0;
  for (DWORD wait = kFirstWaitMs;; wait *= 2) {
    if (operation()) return true;
    const DWORD error = GetLastError();
    const bool hold = held();  // asked after the last failure too, which it may describe
    SetLastError(error);
    if (waited >= kAllWaitsMs || !hold) return false;
    const DWORD pause = std::min(wait, kAllWaitsMs - waited);
    Sleep(pause);
    SetLastError(error);
    waited += pause;
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? L"." : path.substr(0, separator + 1);
}

// True when the folder `folder` grants this program the creation and the
// deletion of files in it: opened for that access, nothing is changed.
bool FolderCanBeWritten(const std::wstring& folder) {
  const HANDLE handle = CreateFileW(folder.c_str(), FILE_ADD_FILE | FILE_DELETE_CHILD,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

// True when access denied to an operation on `paths` can only be another
// program's handle: each of them that exists is a file without the
// read-only attribute, in a folder that can be written; at least one does.
bool DeniedOnlyByAHold(const std::vector<std::wstring>& paths) {
  bool found = false;
  for (const std::wstring& path : paths) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) || !FolderCanBeWritten(FolderOf(path))) {
      return false;
    }
    found = true;
  }
  return found;
}

// True when every entry of the folder `folder` is a file that is being
// deleted: it keeps its name until the last program that has it open (a
// scanner) closes it, and an open of it fails with STATUS_DELETE_PENDING.
bool HoldsOnlyDeletedFiles(std::wstring folder) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  WIN32_FIND_DATAW entry;
  const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) return false;
  bool deleted = true;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    deleted = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED && LastFailureIsPendingDeletion();
  } while (deleted && FindNextFileW(listing, &entry));
  FindClose(listing);
  return deleted;
}

}  // namespace

// Access denied is also what a file gets while it waits to be deleted until
// the last handle to it closes (STATUS_DELETE_PENDING).
bool LastFailureIsPendingDeletion() {
  const LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
  return lastNtStatus != nullptr && lastNtStatus() == kStatusDeletePending;
}

bool RetriedWhileHeld(const std::function<bool()>& operation, const std::vector<std::wstring>& paths) {
  bool deniedByAHold = false;
  const bool done = Retried(operation, [&] {
    const DWORD error = GetLastError();
    deniedByAHold = false;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    if (error == ERROR_ACCESS_DENIED) return (deniedByAHold = LastFailureIsPendingDeletion() || DeniedOnlyByAHold(paths));
    return error == ERROR_DIR_NOT_EMPTY && paths.size() == 1 && HoldsOnlyDeletedFiles(paths[0]);
  });
  if (!done && deniedByAHold) SetLastError(ERROR_SHARING_VIOLATION);
  return done;
}

bool OpenedWhileHeld(const std::function<bool()>& open) {
  const int keptErrno = errno;
  const unsigned long keptDosErrno = _doserrno;
  if (!Retried(open, [] { return LastFileError() == EBUSY; })) return false;
  // A success leaves the reasons as they were, not at a failure waited out.
  errno = keptErrno;
  _doserrno = keptDosErrno;
  return true;
}
