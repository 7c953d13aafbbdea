// System errors in one numbering on every platform: Windows' system error
// codes (the values of winerror.h), each with the line that the Windows
// command interpreter prints for it and the errno values that stand for it.
#pragma once

#include <string>

// The codes that the program tells apart.
enum SystemErrorCode : unsigned long {
  kFileNotFound = 2,
  kPathNotFound = 3,
  kAccessDenied = 5,
  kNotSameDevice = 17,
  kWriteProtected = 19,
  kSharingViolation = 32,
  kLockViolation = 33,
  kHandleDiskFull = 39,
  kFileExists = 80,
  kDiskFull = 112,
  kDirectoryNotEmpty = 145,
  kAlreadyExists = 183,
  kFilenameTooLong = 206,
  kDirectoryNameInvalid = 267,
};

// The interpreter's line for `code`, without a line end; "" for a code that
// the table does not list.
std::string SystemErrorText(unsigned long code);

// The interpreter's line for a command or program `name` that it cannot find.
std::string NotRecognizedText(const std::string& name);

// The errno value that stands for `code`: EIO for a code that the table does
// not list, the errno value itself for a code made by SystemErrorOfErrno.
int ErrnoOfSystemError(unsigned long code);

// The code that stands for the errno value `error`.  A value that the table
// does not list is kept in a code outside Windows' own numbering.
unsigned long SystemErrorOfErrno(int error);
