// Paths for the wide-character Windows file functions.  Windows only
// (wide_path_win32.cpp): the other platforms pass paths as they are.
#pragma once

#include <string>

// `path`, read as UTF-8, as UTF-16; backslashes stay.  The program's text
// is UTF-8 throughout, so that a name in any letters survives into its
// messages whatever the system's code pages are.
std::wstring WidePath(const std::string& path);

// The reverse of WidePath, for messages: UTF-16 text as UTF-8.
std::string NarrowPath(const std::wstring& path);
