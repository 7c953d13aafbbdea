#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/brief_holds.h"

bool FileIsPresent(const std::string& path) {
  // A folder, or a link to one, is no file (POSIX would open it).
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  std::FILE* file = nullptr;
  if (!OpenedWhileHeld([&] { return (file = std::fopen(path.c_str(), "r")) != nullptr; })) return false;
  std::fclose(file);
  return true;
}
