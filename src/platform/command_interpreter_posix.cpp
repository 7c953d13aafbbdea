// The built-in stand-in for the Windows command interpreter.  It understands
// exactly the command lines that the installer issues and carries each out
// directly with the Windows effect; everything else is refused.
#include "platform/command_interpreter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <vector>

#include "platform/pause.h"
#include "platform/program_start.h"
#include "platform/rename.h"

namespace {

namespace fs = std::filesystem;

const char kEditorCommand[] = "\"editor.exe -master\"";

const char kFileNotFound[] = "The system cannot find the file specified.";
const char kPathNotFound[] = "The system cannot find the path specified.";
const char kAccessDenied[] = "Access is denied.";
const char kAlreadyExists[] = "Cannot create a file when that file already exists.";
const char kNotEmpty[] = "The directory is not empty.";
const char kDirectoryNameInvalid[] = "The directory name is invalid.";
const char kSyntaxIncorrect[] = "The syntax of the command is incorrect.";

int Complain(const std::string& text) {
  std::cerr << text << '\n' << std::flush;
  return 1;
}

// The interpreter's wording of a system error.
std::string ErrorText(int error) {
  switch (error) {
    case ENOENT: return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kAccessDenied;
    case EEXIST: return kAlreadyExists;
    case ENOTEMPTY: return kNotEmpty;
    case ENOTDIR: return kDirectoryNameInvalid;
    case EXDEV: return "The system cannot move the file to a different disk drive.";
    case EBUSY:
    case ETXTBSY: return "The process cannot access the file because it is being used by another process.";
    case ENOSPC: return "There is not enough space on the disk.";
    case ENAMETOOLONG: return "The filename or extension is too long.";
    default: return std::string(std::strerror(error)) + ".";
  }
}

// The installer's paths separate directories with backslashes.
std::string NativePath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A path as the installer writes it: no blanks (the words are split on them),
// no quotes, wildcards or characters that the interpreter would take as
// redirection, piping or variables.
bool IsPlainPath(const std::string& word) {
  return !word.empty() && word.find_first_of("\"*?<>|&^%") == std::string::npos;
}

// The absolute form of `path`, for complaints that name a file in full.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  const fs::path full = fs::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

std::string ParentDirectory(const std::string& path) {
  const fs::path parent = fs::path(WithoutTrailingSlashes(path)).parent_path();
  return parent.empty() ? "." : parent.string();
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// md DIR: makes DIR, and missing directories above it as the interpreter does.
int MakeDirectory(const std::string& typed) {
  const std::string path = WithoutTrailingSlashes(NativePath(typed));
  if (Exists(path)) return Complain("A subdirectory or file " + typed + " already exists.");
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string directory = path.substr(0, slash);
    const bool last = slash == std::string::npos;
    if (mkdir(directory.c_str(), 0777) != 0) {
      if (last) {
        if (errno == EEXIST) return Complain("A subdirectory or file " + typed + " already exists.");
        return Complain(ErrorText(errno));
      }
      if (!IsDirectory(directory)) return Complain(errno == EEXIST ? kPathNotFound : ErrorText(errno));
    }
    if (last) return 0;
  }
}

// move SRC DST: moves one file; an existing DST is never replaced.
int MoveOneFile(const std::string& sourceTyped, const std::string& destinationTyped) {
  const std::string source = NativePath(sourceTyped);
  const std::string destination = NativePath(destinationTyped);
  struct stat st;
  if (lstat(source.c_str(), &st) != 0) return Complain(kFileNotFound);
  if (S_ISDIR(st.st_mode)) return Complain(kAccessDenied);
  if (Exists(destination)) return Complain(kAlreadyExists);
  if (!IsDirectory(ParentDirectory(destination))) return Complain(kPathNotFound);
  if (RenameNoReplace(source, destination) != 0) return Complain(ErrorText(errno));
  return 0;
}

// del FILE: deletes one file, read-only or not; never a directory.
int DeleteOneFile(const std::string& typed) {
  const std::string path = NativePath(typed);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (IsDirectory(ParentDirectory(path))) return Complain("Could Not Find " + FullPath(path));
    return Complain(kPathNotFound);
  }
  if (S_ISDIR(st.st_mode)) return Complain(kAccessDenied);
  if (unlink(path.c_str()) != 0) return Complain(ErrorText(errno));
  return 0;
}

// del DIR\*.* /Q /F: deletes every file directly in DIR, read-only ones too.
// Subdirectories, links to directories and everything below them stay.
int DeleteFilesIn(const std::string& typed) {
  const std::string directory = NativePath(typed);
  if (!IsDirectory(directory)) return Complain(kPathNotFound);
  // The names are gathered first so that deleting does not disturb the listing.
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) files.push_back(it->path().string());
  }
  if (ec) return Complain(ErrorText(ec.value()));
  if (files.empty()) return Complain("Could Not Find " + FullPath(directory + "/*.*"));
  int result = 0;
  for (const std::string& file : files) {
    if (unlink(file.c_str()) != 0 && errno != ENOENT) result = Complain(ErrorText(errno));
  }
  return result;
}

// rmdir DIR\: removes DIR only when it is empty.
int RemoveEmptyDirectory(const std::string& typed) {
  const std::string path = WithoutTrailingSlashes(NativePath(typed));
  if (rmdir(path.c_str()) == 0) return 0;
  switch (errno) {
    case ENOENT: return Complain(kFileNotFound);
    case ENOTEMPTY:
    case EEXIST: return Complain(kNotEmpty);
    case ENOTDIR: return Complain(kDirectoryNameInvalid);
    default: return Complain(ErrorText(errno));
  }
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// For "DIR\*.*" gives DIR; "" for any other word.
std::string DirectoryOfAllFilesPattern(const std::string& word) {
  const std::string pattern = "\\*.*";
  if (word.size() <= pattern.size() || word.compare(word.size() - pattern.size(), pattern.size(), pattern) != 0)
    return "";
  const std::string directory = word.substr(0, word.size() - pattern.size());
  return IsPlainPath(directory) ? directory : "";
}

bool AreQuietAndForce(const std::string& first, const std::string& second) {
  const std::string a = Lowercase(first), b = Lowercase(second);
  return (a == "/q" && b == "/f") || (a == "/f" && b == "/q");
}

// The name of the program that a refused command line would have started.
std::string CommandName(const std::string& commandLine, const std::string& firstWord) {
  const size_t start = commandLine.find_first_not_of(" \t");
  if (commandLine[start] != '"') return firstWord;
  const size_t end = commandLine.find('"', start + 1);
  return commandLine.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

}  // namespace

int RunBuiltinCommand(const std::string& commandLine) {
  if (commandLine == kEditorCommand) return RunProgramFromCurrentDirectory("editor.exe", {"-master"});

  const std::vector<std::string> words = SplitWords(commandLine);
  if (words.empty()) return Complain(kSyntaxIncorrect);
  const std::string command = Lowercase(words[0]);
  const size_t count = words.size();

  if (command == "pause") {
    if (count == 1) return PauseForKeyPress();
  } else if (command == "md") {
    if (count == 2 && IsPlainPath(words[1])) return MakeDirectory(words[1]);
  } else if (command == "move") {
    if (count == 3 && IsPlainPath(words[1]) && IsPlainPath(words[2])) return MoveOneFile(words[1], words[2]);
  } else if (command == "del") {
    if (count == 2 && IsPlainPath(words[1])) return DeleteOneFile(words[1]);
    const std::string directory = count == 4 ? DirectoryOfAllFilesPattern(words[1]) : "";
    if (!directory.empty() && AreQuietAndForce(words[2], words[3])) return DeleteFilesIn(directory);
  } else if (command == "rmdir") {
    if (count == 2 && IsPlainPath(words[1])) return RemoveEmptyDirectory(words[1]);
  } else {
    return Complain("'" + CommandName(commandLine, words[0]) +
                    "' is not recognized as an internal or external command, operable program or batch file.");
  }
  // A command of the interpreter, but not in a form that the installer uses.
  return Complain(kSyntaxIncorrect);
}
