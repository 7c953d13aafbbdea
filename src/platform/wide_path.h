// Paths for the wide-character Windows file functions.  Windows only
// (wide_path_win32.cpp): the other platforms pass paths as they are.
#pragma once

#include <string>

// `path`, read in the system's ANSI code page, as UTF-16; backslashes stay.
std::wstring WidePath(const std::string& path);

// The reverse of WidePath, for messages.
std::string NarrowPath(const std::wstring& path);
