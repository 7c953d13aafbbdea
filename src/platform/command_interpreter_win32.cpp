// The built-in interpreter's system calls on Windows: the wide-character
// Win32 file functions, with the installer's paths passed as they are.
#include "platform/command_interpreter_calls.h"

#include <windows.h>

#include <functional>

#include "platform/brief_holds.h"
#include "platform/program_start.h"
#include "platform/system_errors.h"
#include "platform/wide_path.h"

namespace {

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// 0, or the error of `operation` once a brief hold of another program on
// the file has been waited out.
// `paths`: the files that it moves away, replaces or deletes (see
// RetriedWhileHeld()).
unsigned long Result(const std::function<bool()>& operation, const std::vector<std::wstring>& paths = {}) {
  return RetriedWhileHeld(operation, paths) ? 0 : GetLastError();
}

}  // namespace

PathKind KindOfPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(GetLastError()) ? kNothingThere : kFileThere;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kDirectoryThere : kFileThere;
}

bool IsDirectoryPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

unsigned long CreateDirectoryAt(const std::string& path) {
  return Result([&] { return CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0; });
}

// Without MOVEFILE_REPLACE_EXISTING an existing `to` fails the move.
unsigned long MoveFileNoReplace(const std::string& from, const std::string& to) {
  const std::wstring source = WidePath(from);
  return Result([&] { return MoveFileExW(source.c_str(), WidePath(to).c_str(), 0) != 0; }, {source});
}

unsigned long DeleteFileAt(const std::string& path) {
  const std::wstring file = WidePath(path);
  return Result([&] { return DeleteFileW(file.c_str()) != 0; }, {file});
}

std::vector<unsigned long> DeleteFilesDirectlyIn(const std::string& path, int* found) {
  const std::wstring directory = WidePath(path) + L"\\";
  // The names are gathered first so that deleting does not disturb the listing.
  std::vector<WIN32_FIND_DATAW> files;
  WIN32_FIND_DATAW entry;
  *found = 0;
  const HANDLE listing = FindFirstFileW((directory + L"*").c_str(), &entry);
  if (listing == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return {error};
  }
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(entry);
  } while (FindNextFileW(listing, &entry));
  const DWORD listingError = GetLastError();
  FindClose(listing);
  if (listingError != ERROR_NO_MORE_FILES) return {listingError};

  *found = static_cast<int>(files.size());
  std::vector<unsigned long> errors;
  for (const WIN32_FIND_DATAW& file : files) {
    const std::wstring name = directory + file.cFileName;
    if (file.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
      Result([&] { return SetFileAttributesW(name.c_str(), file.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) != 0; });
    const unsigned long error = Result([&] { return DeleteFileW(name.c_str()) != 0; }, {name});
    if (error != 0 && error != ERROR_FILE_NOT_FOUND) errors.push_back(error);
  }
  return errors;
}

unsigned long RemoveEmptyDirectoryAt(const std::string& path) {
  const std::wstring folder = WidePath(path);
  return Result([&] { return RemoveDirectoryW(folder.c_str()) != 0; }, {folder});
}

std::string FullPathOf(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return NarrowPath(full);
}

std::string UnlistedErrorText(unsigned long code) {
  // The system's language may have letters outside ASCII: UTF-8, as all of the program's text.
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string line = length > 0 ? NarrowPath(std::wstring(text, length))
                                : "The system error " + std::to_string(code) + " occurred.";
  LocalFree(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// The real interpreter's prompt, without the player's AutoRun commands.
int RunPauseCommand(const std::string& commandLine) { return RunCommandInterpreter(commandLine, true); }

// The editor of the game folder itself, started directly: no interpreter
// searches other folders for it or starts elsewhere than in the game folder.
int RunEditorCommand(const std::string&) { return RunProgramFromCurrentDirectory("editor.exe", {"-master"}); }

int RunOtherCommand(const std::string& commandLine, const std::string&) {
  return RunCommandInterpreter(commandLine, false);
}
