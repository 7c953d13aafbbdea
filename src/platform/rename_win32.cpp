#include "platform/rename.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "platform/brief_holds.h"
#include "platform/system_errors.h"
#include "platform/wide_path.h"

// Without MOVEFILE_REPLACE_EXISTING an existing `to` fails the move.  The C
// runtime's error variables are set as its rename() would set them.
int RenameNoReplace(const std::string& from, const std::string& to) {
  const std::wstring source = WidePath(from), target = WidePath(to);
  if (RetriedWhileHeld([&] { return MoveFileExW(source.c_str(), target.c_str(), 0) != 0; }, {source})) return 0;
  const DWORD error = GetLastError();
  _doserrno = error;
  errno = ErrnoOfSystemError(error);
  return -1;
}
