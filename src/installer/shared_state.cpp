#include "installer/shared_state.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "platform/files.h"

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

// Larger buffers than the default keep system calls few on big files.
constexpr std::size_t kStreamBufferSize = 256 * 1024;
char inputBuffer[kStreamBufferSize];
char outputBuffer[kStreamBufferSize];

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

}  // namespace

bool OpenStepFiles(const std::string& backup, const std::string& target, const std::string& targetBackup) {
  currentBackup = backup;
  currentTarget = target;
  currentTargetBackup = targetBackup.empty() ? backup : targetBackup;
  sharedInput.rdbuf()->pubsetbuf(inputBuffer, kStreamBufferSize);
  sharedOutput.rdbuf()->pubsetbuf(outputBuffer, kStreamBufferSize);

  // A directory cannot be read as a backup (POSIX would let it be opened and
  // fail only on the first read, after the target had been emptied).
  if (!IsDirectory(backup)) sharedInput.open(backup, std::ios::in | std::ios::binary);
  if (!sharedInput.is_open() && PathExists(target)) {
    sharedOutput.setstate(std::ios::failbit);
    return false;
  }
  sharedOutput.open(target, std::ios::out | std::ios::trunc | std::ios::binary);
  return sharedInput.is_open() && sharedOutput.is_open();
}

void CloseStepFiles() {
  const bool readFailed = sharedInput.bad();
  sharedInput.close();

  bool writeFailed = false;
  if (sharedOutput.is_open()) {
    writeFailed = sharedOutput.fail();
    sharedOutput.close();
    writeFailed = writeFailed || sharedOutput.fail();
  }
  sharedInput.clear();
  sharedOutput.clear();

  if (readFailed || writeFailed) {
    std::cout.flush();
    std::cerr << "\nvandoril-patch: " << (readFailed ? "reading \"" + currentBackup + "\"" : "writing \"" + currentTarget + "\"")
              << " failed (" << (readFailed ? "I/O error" : "disk full or I/O error") << "). \"" << currentTarget
              << "\" is incomplete; its previous content is kept in \"" << currentTargetBackup
              << "\". The patch stopped here and removed no backup.\n";
    std::exit(1);
  }
}

void FailStep(const char* errorText) {
  std::cout.flush();
  std::cerr << errorText;
  std::exit(1);
}

void PrintWarning(const std::string& message) {
  std::cout.flush();
  std::cerr << "vandoril-patch: " << message << "\n";
}

void PrintProgressDot() { std::cout << '.' << std::flush; }
