// The project's own stand-in for the Windows command interpreter, used where
// that interpreter does not exist.  It never starts a shell.
#pragma once

#include <string>

// Carries out one of the installer's own command lines with the effect the
// Windows command interpreter gives it:
//   md DIR                 create DIR; complains when it exists
//   move SRC DST           move one file; never replaces DST
//   del FILE               delete one file
//   del DIR\*.* /Q /F      delete every file directly in DIR, read-only too
//   rmdir DIR\             remove DIR when it is empty
//   pause                  "Press any key to continue . . . ", one key, line end
//   "editor.exe -master"   run ./editor.exe with the argument -master, wait
// Backslashes separate directories.  Success prints nothing; each failure
// prints one line on standard error.  Any other command line is refused.
// Returns 0 on success, non-zero otherwise.
int RunBuiltinCommand(const std::string& commandLine);
