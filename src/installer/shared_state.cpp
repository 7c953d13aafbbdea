#include "installer/shared_state.h"

#include <cerrno>
#include <cstdint>
#include <iostream>

#include "installer/messages.h"
#include "installer/run_control.h"
#include "platform/brief_holds.h"
#include "platform/disk_writeback.h"
#include "platform/files.h"
#include "platform/rename.h"

// Constructed before main() in this order, destroyed in reverse at exit;
// destroying an open stream flushes and closes it.
std::ifstream sharedInput;
std::ofstream sharedOutput;
std::string sharedScratchLine;
std::string sharedLineBuffer;
std::streampos sharedFilePosition = 0;

namespace {

// Names of the files the current step has open, and where the target's
// previous content is kept, for the failure message.
std::string currentBackup;
std::string currentTarget;
std::string currentTargetBackup;
int openError = 0;  // why an open of OpenStepFiles() failed
std::int64_t endOfFileMark = -1;  // where the input's Ctrl-Z is, -1 for none
bool progressLineOpen = false;

// The backup and the target of the current step, opened once more for the
// hints of HandStepDataToDisk(); -1 when not open.
bool hintsOpened = false;
int blocksSinceHint = 0;
constexpr int kBlocksPerHint = 8;
int inputHints = -1;
int outputHints = -1;

// Writes the input's bytes from the end-of-file mark on to the output, as
// they are.  A read error stays set for CloseStepFiles() to report.
void CopyTailFromEndOfFileMark() {
  if (endOfFileMark < 0 || sharedInput.bad() || !sharedOutput.is_open()) return;
  sharedInput.clear();
  sharedInput.seekg(endOfFileMark);
  static char block[64 * 1024];
  while (sharedInput.read(block, sizeof block), sharedInput.gcount() > 0) sharedOutput.write(block, sharedInput.gcount());
}

void CloseHints() {
  CloseForHints(inputHints);
  CloseForHints(outputHints);
  inputHints = outputHints = -1;
  hintsOpened = false;
  blocksSinceHint = 0;
}

// Larger buffers than the default keep system calls few on big files.
constexpr std::size_t kStreamBufferSize = 256 * 1024;
char inputBuffer[kStreamBufferSize];
char outputBuffer[kStreamBufferSize];

}  // namespace

bool OpenStepFiles(const std::string& backup, const std::string& target, const std::string& targetBackup) {
  currentBackup = backup;
  currentTarget = target;
  currentTargetBackup = targetBackup.empty() ? backup : targetBackup;
  endOfFileMark = -1;
  sharedInput.rdbuf()->pubsetbuf(inputBuffer, kStreamBufferSize);
  sharedOutput.rdbuf()->pubsetbuf(outputBuffer, kStreamBufferSize);

  errno = 0;
  OpenedWhileHeld([&] { return sharedInput.open(backup, std::ios::in | std::ios::binary), sharedInput.is_open(); });
  openError = LastFileError();
  // POSIX opens a folder too, and fails only at the first read: that read
  // (which fills the stream's buffer for the step) comes before the target
  // is emptied.
  if (sharedInput.is_open()) {
    errno = 0;
    sharedInput.peek();
    const int readError = errno;
    sharedInput.clear();
    if (readError == EISDIR) openError = readError, sharedInput.close();
    // Any other failure of that read is reported as one by CloseStepFiles().
    if (readError != 0 && readError != EISDIR) sharedInput.setstate(std::ios::badbit);
  }
  // A target that stands, or may stand, keeps its content.
  if (!sharedInput.is_open() && LookUp(target).state != PathAbsent) {
    sharedOutput.setstate(std::ios::failbit);
    return false;
  }
  // A target that was moved away or never stood is created.
  NoteFileToCreate(target);
  errno = 0;
  OpenedWhileHeld([&] {
    return sharedOutput.open(target, std::ios::out | std::ios::trunc | std::ios::binary), sharedOutput.is_open();
  });
  if (sharedInput.is_open()) openError = LastFileError();
  CloseHints();
  return sharedInput.is_open() && sharedOutput.is_open();
}

void HandStepDataToDisk() {
  if (!sharedInput.is_open() || !sharedOutput.is_open()) return;
  // Every few blocks: the system keeps writing between two hints, and each
  // hint costs three calls.
  if (++blocksSinceHint < kBlocksPerHint) return;
  blocksSinceHint = 0;
  // Opened for a big file only, at its first hint: on a small one the
  // hints would cost more calls than they save.
  if (!hintsOpened) {
    hintsOpened = true;
    inputHints = OpenForHints(currentBackup);
    outputHints = OpenForHints(currentTarget);
  }
  StartWritingToDisk(outputHints);
  // Everything before the read position has been taken out of the stream.
  const std::streamoff read = sharedInput.tellg();
  if (read > 0) DropFromMemory(inputHints, static_cast<std::uint64_t>(read));
}

void CloseStepFiles() {
  CopyTailFromEndOfFileMark();
  const bool readFailed = sharedInput.bad();
  sharedInput.close();

  bool written = false, writeFailed = false;
  int writeError = LastFileError();
  if (sharedOutput.is_open()) {
    writeFailed = sharedOutput.fail();
    sharedOutput.close();  // a small file is written here, at once: its failure has its own reason
    if (!writeFailed && sharedOutput.fail()) writeFailed = true, writeError = LastFileError();
    written = !writeFailed;
  }
  sharedInput.clear();
  sharedOutput.clear();
  if (written) {
    StartWritingToDisk(outputHints);
    DropFromMemory(inputHints, UINT64_MAX);
  }
  CloseHints();

  if (readFailed) FailRun(ReadingFailed(currentBackup));
  if (writeFailed) FailRun(WritingFailed(currentTarget, writeError));
  if (written) NoteRewrittenFile(currentTarget, currentTargetBackup), NoteCreatedFileWritten(currentTarget);
}

void MoveToBackup(const std::string& file, const std::string& backup, const char* errorText) {
  if (RenameNoReplace(file, backup) != 0) FailIfNotMoved(file, backup, LastFileError(), errorText);
}

void FailIfNotMoved(const std::string& file, const std::string& backup, int error, const char* errorText) {
  const PathLookup found = LookUp(file);
  if (found.state == PathPresent) {
    FailRun(CouldNotBeMovedTo(file, backup) + Because(error, false), errorText);
  }
  if (found.state == PathUnknown) {
    FailRun(CannotTellWhetherMoved(file, backup) + Because(found.error), errorText);
  }
}

std::string DescribeOpenFailure() {
  if (!sharedInput.is_open()) {
    if (BackupNeverExisted(currentBackup)) return WasNotFound(currentTarget);
    return NotOpenedForReading(currentBackup) + Because(openError, false);
  }
  return NotOpenedForWriting(currentTarget) + Because(openError, false);
}

void NoteEndOfFileMark(std::uint64_t offset) { endOfFileMark = static_cast<std::int64_t>(offset); }

void PrintWarning(const std::string& message) {
  std::cout.flush();
  std::cerr << kMessagePrefix << message << "\n";
}

void PrintProgressDot() {
  progressLineOpen = true;
  std::cout << '.' << std::flush;
}

bool ProgressLineOpen() { return progressLineOpen; }
