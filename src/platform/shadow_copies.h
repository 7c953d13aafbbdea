// Shadow copies of game files.  Windows gives a 32-bit program from before
// Vista that runs without administrator rights a copy of each file that it
// writes in a protected folder (such as "Program Files"), under
// %LOCALAPPDATA%\VirtualStore, and from then on that program reads the copy
// instead of the file in its folder.  POSIX has none.
#pragma once

#include <string>
#include <vector>

// The folder where this account's shadow copies of the current directory's
// files lie: VirtualStore followed by the current directory's path without
// its drive.  "" on POSIX, or when it cannot be told.
std::string ShadowCopyFolder();

// Those of `files` (names relative to the current directory) that have a
// shadow copy in ShadowCopyFolder(), spelt with backslashes.  Always none on
// POSIX.
std::vector<std::string> FilesWithShadowCopies(const std::vector<std::string>& files);
