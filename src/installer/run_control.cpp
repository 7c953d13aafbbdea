#include "installer/run_control.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

#include "installer/roll_back.h"
#include "installer/run_journal.h"
#include "installer/shared_state.h"
#include "platform/durable_files.h"
#include "platform/files.h"

namespace {

bool runBegun = false;
RunJournal journal;

// Each rewritten file, with the file that held its content before the run.
std::map<std::string, std::string> rewrittenFiles;

const char kNotWritable[] =
    "The game folder cannot be written: access is denied, or it lies on a read-only medium. "
    "If the game is installed under \"Program Files\", run the patch as administrator (right-click it and choose "
    "\"Run as administrator\"); if the folder is on a read-only medium, copy the game to a writable disk first. "
    "Nothing was changed.";

[[noreturn]] void EndWithError(const std::string& message, const char* errorText) {
  std::cout.flush();
  std::cerr << (ProgressLineOpen() ? "\n" : "") << "vandoril-patch: " << message << "\n" << errorText << std::flush;
  std::exit(1);
}

}  // namespace

void BeginRun(bool uninstall) {
  journal = RunJournal();
  journal.uninstall = uninstall;
  for (const std::string& file : FilesTheRunChanges()) {
    if (!PathExists(file)) journal.absent.push_back(file);
  }
  if (!WriteJournal(journal)) {
    // Nothing else has changed yet: whatever the journal got as far as goes.
    const int error = errno;
    RemoveJournalDraft();
    DeleteJournal();
    if (IsNotWritableError(error)) EndWithError(kNotWritable, "");
    EndWithError(std::string("The run journal \"") + kJournalFile + "\" could not be written (" + std::strerror(error) +
                     "). Nothing was changed.",
                 "");
  }
  runBegun = true;
}

void FailRun(const std::string& what, const char* errorText) {
  sharedInput.close();
  sharedOutput.close();
  sharedInput.clear();
  sharedOutput.clear();
  std::string message = what + ".";
  if (runBegun) {
    std::string problem;
    if (RollBackRun(journal, problem)) {
      message += " Nothing was changed: the run was undone and every file is as it was before it.";
    } else {
      message += " Undoing the run failed as well: " + problem +
                 ". Close every program that uses the game's files and run the patch again: it puts the game folder "
                 "back as it was before this run.";
    }
  }
  EndWithError(message, errorText);
}

void NoteRewrittenFile(const std::string& file, const std::string& previous) { rewrittenFiles.emplace(file, previous); }

void MakeRunDurable() {
  for (const auto& [file, previous] : rewrittenFiles) {
    if (!SyncFileWithPermissionsOf(file, previous)) {
      FailRun("\"" + file + "\" could not be written to disk with its permissions (" + std::strerror(errno) + ")");
    }
  }
  for (const char* folder : {".", "script", "database"}) {
    if (!SyncDirectory(folder)) {
      FailRun(std::string("the folder \"") + folder + "\" could not be written to disk (" + std::strerror(errno) + ")");
    }
  }
  journal.phase = RemovingBackupsPhase;
  if (!WriteJournal(journal)) {
    FailRun(std::string("the run journal \"") + kJournalFile + "\" could not be written (" + std::strerror(errno) + ")");
  }
}

int EndRun() {
  std::string problem;
  const bool removed = RemoveLeftoverBackups(problem);
  if (removed && DeleteJournal()) return 0;
  if (removed) problem = std::string("\"") + kJournalFile + "\" could not be deleted (" + std::strerror(errno) + ")";
  std::cout.flush();
  std::cerr << "\nvandoril-patch: the patch is " << (journal.uninstall ? "removed" : "installed")
            << " and every file is written, but " << problem
            << ". Close every program that uses the game's files and run the patch again: it finishes removing the "
               "backups.\n"
            << std::flush;
  return 1;
}
