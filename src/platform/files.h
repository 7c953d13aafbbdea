// Questions about files in the game folder.
#pragma once

#include <string>

// True when `path` names a file that can be opened for reading.  A directory,
// or a file that exists but cannot be opened, does not count.
bool FileIsPresent(const std::string& path);

// True when anything at all (file, directory, link) stands under `path`.
bool PathExists(const std::string& path);

// True when `path` names a directory, or a link to one.
bool IsDirectory(const std::string& path);
