#include "platform/rename.h"

#include <cstdio>

// The C runtime's rename() on Windows already refuses to replace a file.
int RenameNoReplace(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str());
}
