// The program's own command interpreter: it carries out the installer's file
// commands in-process, with the effect and the complaints of the Windows
// command interpreter, on every platform.
#pragma once

#include <string>

// Carries out one of the installer's own command lines:
//   md DIR                 create DIR; complains when it exists
//   move SRC DST           move one file; never replaces DST
//   del FILE               delete one file (Windows refuses a read-only one)
//   del DIR\*.* /Q /F      delete every file directly in DIR, read-only too
//   rmdir DIR\             remove DIR when it is empty
//   pause                  "Press any key to continue . . . ", one key, line end
//   "editor.exe -master"   run ./editor.exe with the argument -master, wait
// Backslashes separate directories.  Success prints nothing; each failure
// prints one line on standard error.  On Windows "pause" and every other
// line go to cmd.exe with its AutoRun commands off; elsewhere any other line
// is refused.  Returns 0 on success, non-zero otherwise; a file command
// that failed in the system leaves errno at the reason.
int RunBuiltinCommand(const std::string& commandLine);
