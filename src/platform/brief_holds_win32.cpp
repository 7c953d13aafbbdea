#include "platform/brief_holds.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr DWORD kFirstWaitMs = 10;
constexpr DWORD kAllWaitsMs = 2000;

// The NTSTATUS behind the last error, looked up once before any file call.
using LastNtStatus = LONG(WINAPI*)();
const LastNtStatus lastNtStatus = reinterpret_cast<LastNtStatus>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));

// Access denied is also what a file gets while it waits to be deleted until
// the last handle to it closes (STATUS_DELETE_PENDING).
bool IsPendingDeletion() {
  const LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
  return lastNtStatus != nullptr && lastNtStatus() == kStatusDeletePending;
}

bool IsBriefHold(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         (error == ERROR_ACCESS_DENIED && IsPendingDeletion());
}

}  // namespace

bool RetriedWhileHeld(const std::function<bool()>& operation) {
  DWORD waited = 0;
  for (DWORD wait = kFirstWaitMs;; wait *= 2) {
    if (operation()) return true;
    const DWORD error = GetLastError();
    if (waited >= kAllWaitsMs || !IsBriefHold(error)) {
      SetLastError(error);
      return false;
    }
    const DWORD pause = std::min(wait, kAllWaitsMs - waited);
    Sleep(pause);
    waited += pause;
  }
}
