// Questions about files in the game folder.
#pragma once

#include <string>

// True when `path` names a file that can be opened for reading.  A directory,
// or a file that exists but cannot be opened, does not count.
bool FileIsPresent(const std::string& path);

// True when anything at all (file, directory, link) stands under `path`.
bool PathExists(const std::string& path);

// True when `path` names a directory, or a link to one.
bool IsDirectory(const std::string& path);

// True when `path` names a regular file itself, not a link to one.
bool IsPlainFile(const std::string& path);

// True when `path` names a symbolic link (or, on Windows, a junction).
bool IsLink(const std::string& path);

enum PathState { PathAbsent, PathPresent, PathUnknown };

// Whether anything (a link too, wherever it points) stands under `path`.
// Absent only when the system says that there is no such file or folder;
// any other failure (access denied, a file where a folder should be, an I/O
// error) leaves it unknown, with `error` set to the errno value.
PathState LookUpPath(const std::string& path, int& error);

// True when `folder` is a folder (or a link to one) whose entries can be
// listed and, where the system can tell without changing anything, created
// and deleted.  False with `error` set to the errno value otherwise.
bool FolderCanBeChanged(const std::string& folder, int& error);

// The errno value of the C runtime's last failed file operation.  On
// Windows a file held open by another program (a sharing or lock violation,
// which the C runtime reports as EACCES) gives EBUSY, and a full disk ENOSPC.
int LastFileError();
