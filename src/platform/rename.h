// Renaming that never replaces an existing file.
#pragma once

#include <string>

// Renames `from` to `to`.  Fails without changing anything when `from` is
// missing or when anything named `to` exists already.  Returns 0 on success;
// on failure -1, with errno set to the reason.
int RenameNoReplace(const std::string& from, const std::string& to);
