// Questions about files in the game folder.  A lookup answers present,
// absent or unknown: only "no such file" is absence, and any other failure
// (access denied, an I/O error, a file held while it is being deleted) is
// never taken for one.
#pragma once

#include <cstdint>
#include <string>

// True when `path` names a file that can be opened for reading.  A directory,
// or a file that exists but cannot be opened, does not count.  For the
// presence tests of the game's editor and the patches' markers only: it is no
// answer to whether a file exists.
bool FileIsPresent(const std::string& path);

// True when the plain file `path` (a link not followed) can be opened for
// reading by this program: on POSIX asked of the system without opening it,
// on Windows opened and closed, riding out a brief hold.  False with errno
// set to the reason otherwise.
bool PlainFileCanBeRead(const std::string& path);

// True when `path` is beyond doubt a file, not a folder, that this program
// can open for reading, told in one call where the system allows it (on
// Windows one open, which a folder fails).  False tells nothing: look the
// path up.  Always false on POSIX, where a lookup and an access check cost
// no more.
bool OpensAsReadableFile(const std::string& path);

enum PathState { PathAbsent, PathPresent, PathUnknown };
enum PathKind { PlainFile, Folder, Link, OtherKind };

// What stands under a path, a link not followed.
struct PathLookup {
  PathState state = PathUnknown;
  PathKind kind = OtherKind;  // when present
  std::uint64_t size = 0;     // of a plain file
  int error = 0;              // the errno value when unknown
};

// Looks `path` up.  Absent only when the system says that there is no such
// file or folder; any other failure leaves it unknown, with the reason in
// `error` (EBUSY for a file that another program holds on Windows, after
// riding out a brief hold).
PathLookup LookUp(const std::string& path);

enum SameFileAnswer { DifferentFiles, OneFile, SameFileUnknown };

// Whether `first` and `second` are two names (hard links) of one file, as a
// move by link and unlink stopped halfway leaves them.  Different when
// either is absent; unknown, with `error` set, when the system cannot tell.
SameFileAnswer SameFile(const std::string& first, const std::string& second, int& error);

// True when `folder` is a folder (or a link to one) whose entries can be
// listed and, where the system can tell without changing anything, created
// and deleted.  False with `error` set to the errno value otherwise.
bool FolderCanBeChanged(const std::string& folder, int& error);

// The errno value of the C runtime's last failed file operation.  On
// Windows a file held open by another program (a sharing or lock violation,
// or access denied to a file that is being deleted, which the C runtime
// reports as EACCES) gives EBUSY, and a full disk ENOSPC.
int LastFileError();
