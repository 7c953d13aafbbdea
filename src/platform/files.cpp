#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/brief_holds.h"

bool FileIsPresent(const std::string& path) {
  if (IsDirectory(path)) return false;
  std::FILE* file = nullptr;
  if (!OpenedWhileHeld([&] { return (file = std::fopen(path.c_str(), "r")) != nullptr; })) return false;
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

bool IsPlainFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec));
}

PathState LookUpPath(const std::string& path, int& error) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, ec);
  error = ec.value();
  if (!ec) return std::filesystem::exists(status) ? PathPresent : PathAbsent;
  return ec == std::errc::no_such_file_or_directory ? PathAbsent : PathUnknown;
}
