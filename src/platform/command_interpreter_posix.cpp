// The built-in interpreter's system calls on POSIX systems, where the
// installer's backslashes become slashes and errno values become system
// error codes.
#include "platform/command_interpreter_calls.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/pause.h"
#include "platform/program_start.h"
#include "platform/rename.h"
#include "platform/system_errors.h"

namespace {

namespace fs = std::filesystem;

std::string NativePath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

unsigned long LastError() { return SystemErrorOfErrno(errno); }

}  // namespace

PathKind KindOfPath(const std::string& path) {
  struct stat st;
  if (lstat(NativePath(path).c_str(), &st) != 0) return kNothingThere;
  return S_ISDIR(st.st_mode) ? kDirectoryThere : kFileThere;
}

bool IsDirectoryPath(const std::string& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

unsigned long CreateDirectoryAt(const std::string& path) {
  return mkdir(NativePath(path).c_str(), 0777) == 0 ? 0 : LastError();
}

unsigned long MoveFileNoReplace(const std::string& from, const std::string& to) {
  return RenameNoReplace(NativePath(from), NativePath(to)) == 0 ? 0 : LastError();
}

// POSIX deletes a read-only file like any other: the permission is the folder's.
unsigned long DeleteFileAt(const std::string& path) {
  return unlink(NativePath(path).c_str()) == 0 ? 0 : LastError();
}

std::vector<unsigned long> DeleteFilesDirectlyIn(const std::string& path, int* found) {
  // The names are gathered first so that deleting does not disturb the listing.
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(NativePath(path), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) files.push_back(it->path().string());
  }
  *found = 0;
  if (ec) return {SystemErrorOfErrno(ec.value())};
  *found = static_cast<int>(files.size());
  std::vector<unsigned long> errors;
  for (const std::string& file : files) {
    if (unlink(file.c_str()) != 0 && errno != ENOENT) errors.push_back(LastError());
  }
  return errors;
}

unsigned long RemoveEmptyDirectoryAt(const std::string& path) {
  if (rmdir(NativePath(path).c_str()) == 0) return 0;
  switch (errno) {
    case ENOENT: return kFileNotFound;
    case ENOTEMPTY:
    case EEXIST: return kDirectoryNotEmpty;
    case ENOTDIR: return kDirectoryNameInvalid;
    default: return LastError();
  }
}

std::string FullPathOf(const std::string& path) {
  const std::string native = NativePath(path);
  std::error_code ec;
  const fs::path full = fs::absolute(native, ec);
  return ec ? native : full.lexically_normal().string();
}

std::string UnlistedErrorText(unsigned long code) {
  return std::string(std::strerror(ErrnoOfSystemError(code))) + ".";
}

int RunPauseCommand(const std::string&) { return PauseForKeyPress(); }

int RunEditorCommand(const std::string&) { return RunProgramFromCurrentDirectory("editor.exe", {"-master"}); }

// No shell is ever started for a line that the installer does not issue.
int RunOtherCommand(const std::string&, const std::string& refusal) {
  std::cerr << refusal << '\n' << std::flush;
  return 1;
}
