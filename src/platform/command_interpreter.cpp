// The built-in command interpreter: it understands exactly the command lines
// that the installer issues, words its complaints as the Windows interpreter
// does, and leaves the system calls to command_interpreter_calls.h.
#include "platform/command_interpreter.h"

#include <cctype>
#include <cerrno>
#include <iostream>
#include <vector>

#include "platform/command_interpreter_calls.h"
#include "platform/system_errors.h"

namespace {

const char kEditorCommand[] = "\"editor.exe -master\"";
const char kSyntaxIncorrect[] = "The syntax of the command is incorrect.";
const char kSeparators[] = "\\/";

int Complain(const std::string& text) {
  std::cerr << text << '\n' << std::flush;
  return 1;
}

std::string ErrorText(unsigned long code) {
  const std::string text = SystemErrorText(code);
  return text.empty() ? UnlistedErrorText(code) : text;
}

// Complains of the system error `code` and leaves errno at the value that
// stands for it, so that the caller can say why in its own words.
int Fail(unsigned long code) {
  Complain(ErrorText(code));
  errno = ErrnoOfSystemError(code);
  return 1;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string ParentDirectory(const std::string& path) {
  const std::string trimmed = WithoutTrailingSeparators(path);
  const size_t separator = trimmed.find_last_of(kSeparators);
  if (separator == std::string::npos) return ".";
  return trimmed.substr(0, separator == 0 ? 1 : separator);
}

// A path as the installer writes it: no blanks (the words are split on them),
// no quotes, wildcards or characters that the interpreter would take as
// redirection, piping or variables.
bool IsPlainPath(const std::string& word) {
  return !word.empty() && word.find_first_of("\"*?<>|&^%") == std::string::npos;
}

std::string AlreadyExists(const std::string& typed) { return "A subdirectory or file " + typed + " already exists."; }

// md DIR: makes DIR, and missing directories above it as the interpreter does.
int MakeDirectory(const std::string& typed) {
  const std::string path = WithoutTrailingSeparators(typed);
  for (size_t separator = path.find_first_of(kSeparators, 1);;
       separator = path.find_first_of(kSeparators, separator + 1)) {
    const std::string directory = path.substr(0, separator);
    const bool last = separator == std::string::npos;
    const unsigned long error = CreateDirectoryAt(directory);
    if (error != 0) {
      if (last) return Complain(error == kAlreadyExists ? AlreadyExists(typed) : ErrorText(error));
      if (!IsDirectoryPath(directory)) return Fail(error == kAlreadyExists ? kPathNotFound : error);
    }
    if (last) return 0;
  }
}

// move SRC DST: moves one file; an existing DST is never replaced.  The
// destination is examined only when the move fails, to word the complaint.
int MoveOneFile(const std::string& source, const std::string& destination) {
  switch (KindOfPath(source)) {
    case kNothingThere: return Fail(kFileNotFound);
    case kDirectoryThere: return Fail(kAccessDenied);
    case kFileThere: break;
  }
  const unsigned long error = MoveFileNoReplace(source, destination);
  if (error == 0) return 0;
  if (KindOfPath(destination) != kNothingThere) return Fail(kAlreadyExists);
  if (!IsDirectoryPath(ParentDirectory(destination))) return Fail(kPathNotFound);
  return Fail(error);
}

// del FILE: deletes one file; never a directory.
int DeleteOneFile(const std::string& path) {
  switch (KindOfPath(path)) {
    case kNothingThere:
      if (IsDirectoryPath(ParentDirectory(path))) return Complain("Could Not Find " + FullPathOf(path));
      return Fail(kPathNotFound);
    case kDirectoryThere: return Fail(kAccessDenied);
    case kFileThere: break;
  }
  const unsigned long error = DeleteFileAt(path);
  return error == 0 ? 0 : Fail(error);
}

// del DIR\*.* /Q /F: deletes every file directly in DIR, read-only ones too.
int DeleteFilesIn(const std::string& directory) {
  if (!IsDirectoryPath(directory)) return Fail(kPathNotFound);
  int found = 0;
  const std::vector<unsigned long> errors = DeleteFilesDirectlyIn(directory, &found);
  if (errors.empty() && found == 0) return Complain("Could Not Find " + FullPathOf(directory + "\\*.*"));
  int result = 0;
  for (unsigned long error : errors) result = Fail(error);
  return result;
}

// rmdir DIR\: removes DIR only when it is empty.
int RemoveEmptyDirectory(const std::string& typed) {
  const unsigned long error = RemoveEmptyDirectoryAt(WithoutTrailingSeparators(typed));
  return error == 0 ? 0 : Fail(error);
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
  if (commandLine == kEditorCommand) return RunEditorCommand(commandLine);

  const std::vector<std::string> words = SplitWords(commandLine);
  if (words.empty()) return RunOtherCommand(commandLine, kSyntaxIncorrect);
  const std::string command = Lowercase(words[0]);
  const size_t count = words.size();

  if (command == "pause") {
    if (count == 1) return RunPauseCommand(commandLine);
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
    return RunOtherCommand(commandLine, NotRecognizedText(CommandName(commandLine, words[0])));
  }
  // A command of the interpreter, but not in a form that the installer uses.
  return RunOtherCommand(commandLine, kSyntaxIncorrect);
}
