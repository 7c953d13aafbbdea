#include "platform/system_errors.h"

#include <cerrno>

namespace {

struct SystemErrorRow {
  unsigned long code;
  const char* text;
  // The first one is what `code` stands for; 0 ends the list.
  int errnoValues[4];
};

// An errno value is looked up in the first row that lists it, so the order
// of the rows decides, for example, that ENOENT (no file or no folder on the
// way to it) reads as "path not found" and EROFS as "access is denied".
const SystemErrorRow kSystemErrors[] = {
    {kPathNotFound, "The system cannot find the path specified.", {ENOENT}},
    {kFileNotFound, "The system cannot find the file specified.", {ENOENT}},
    {kAccessDenied, "Access is denied.", {EACCES, EPERM, EROFS}},
    {kWriteProtected, "The media is write protected.", {EROFS}},
    {kAlreadyExists, "Cannot create a file when that file already exists.", {EEXIST}},
    {kFileExists, "The file exists.", {EEXIST}},
    {kDirectoryNotEmpty, "The directory is not empty.", {ENOTEMPTY}},
    {kDirectoryNameInvalid, "The directory name is invalid.", {ENOTDIR}},
    {kNotSameDevice, "The system cannot move the file to a different disk drive.", {EXDEV}},
    {kSharingViolation, "The process cannot access the file because it is being used by another process.",
     {EBUSY, ETXTBSY}},
    {kLockViolation, "The process cannot access the file because another process has locked a portion of the file.",
     {EBUSY}},
    {kDiskFull, "There is not enough space on the disk.", {ENOSPC}},
    {kHandleDiskFull, "The disk is full.", {ENOSPC}},
    {kFilenameTooLong, "The filename or extension is too long.", {ENAMETOOLONG}},
};

// Windows never uses this bit for its own codes (it marks codes that
// applications define): below it, an errno value that the table lacks.
const unsigned long kErrnoOnly = 1ul << 29;

const SystemErrorRow* RowOf(unsigned long code) {
  for (const SystemErrorRow& row : kSystemErrors)
    if (row.code == code) return &row;
  return nullptr;
}

}  // namespace

std::string SystemErrorText(unsigned long code) {
  const SystemErrorRow* row = RowOf(code);
  return row ? row->text : "";
}

int ErrnoOfSystemError(unsigned long code) {
  if (code & kErrnoOnly) return static_cast<int>(code & ~kErrnoOnly);
  const SystemErrorRow* row = RowOf(code);
  return row ? row->errnoValues[0] : EIO;
}

unsigned long SystemErrorOfErrno(int error) {
  for (const SystemErrorRow& row : kSystemErrors)
    for (int value : row.errnoValues)
      if (value != 0 && value == error) return row.code;
  return kErrnoOnly | static_cast<unsigned long>(error);
}

std::string NotRecognizedText(const std::string& name) {
  return "'" + name + "' is not recognized as an internal or external command, operable program or batch file.";
}
