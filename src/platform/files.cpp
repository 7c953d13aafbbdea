#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool FileIsPresent(const std::string& path) {
  if (IsDirectory(path)) return false;
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}
