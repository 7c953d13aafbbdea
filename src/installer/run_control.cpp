#include "installer/run_control.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

#include "installer/roll_back.h"
#include "installer/run_journal.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"
#include "platform/console.h"
#include "platform/durable_files.h"
#include "platform/files.h"

namespace {

bool runBegun = false;
RunJournal journal;
std::vector<std::string> absentAtStart;  // the run's files that did not exist as it began

// Each rewritten file, with the file that held its content before the run.
std::map<std::string, std::string> rewrittenFiles;

const char kNotWritable[] =
    "The game folder cannot be written: access is denied, or it lies on a read-only medium. "
    "If the game is installed under \"Program Files\", run the patch as administrator (right-click it and choose "
    "\"Run as administrator\") from the account that plays the game: the patch looks for the copies of the game's "
    "files that Windows keeps for that account in VirtualStore, which the game reads instead of its own. If "
    "the folder is on a read-only medium, copy the game to a writable disk first. Nothing was changed.";

[[noreturn]] void EndWithError(const std::string& message, const char* errorText) {
  std::cout.flush();
  std::cerr << (ProgressLineOpen() ? "\n" : "") << "vandoril-patch: " << message << "\n" << errorText << std::flush;
  std::exit(EndFailedRun());
}

}  // namespace

void BeginRun(bool uninstall, const std::vector<std::string>& absent) {
  journal = RunJournal();
  journal.uninstall = uninstall;
  absentAtStart = absent;
  const bool createsMarker = std::find(absent.begin(), absent.end(), kInstallMarker) != absent.end();
  if (!uninstall && createsMarker) journal.created.push_back(kInstallMarker);
  if (!WriteJournal(journal)) {
    // Nothing else has changed yet: whatever the journal got as far as goes.
    const int error = errno;
    RemoveJournalDraft();
    DeleteJournal();
    if (IsNotWritableError(error)) EndWithError(kNotWritable, "");
    EndWithError(std::string("The run journal \"") + kJournalFile + "\" could not be written" + Because(error) +
                     ". Nothing was changed.",
                 "");
  }
  runBegun = true;
}

void NoteFileToCreate(const std::string& file) {
  const auto named = [&file](const std::vector<std::string>& names) {
    return std::find(names.begin(), names.end(), file) != names.end();
  };
  if (!runBegun || !named(absentAtStart) || named(journal.created) || PathExists(file)) return;
  RunJournal next = journal;
  next.created.push_back(file);
  // Until the new journal is written, the file is not created: the roll-back
  // follows the journal that stands.
  if (!WriteJournal(next)) {
    FailRun(std::string("the run journal \"") + kJournalFile + "\" could not be written" + Because(errno));
  }
  journal = next;
}

void FailRun(const std::string& what, const char* errorText) {
  // Open files could be neither moved back nor deleted on Windows.
  sharedInput.close();
  sharedOutput.close();
  std::string message = what + ".";
  if (runBegun) {
    std::string problem;
    if (RollBackRun(journal, problem)) {
      message += " Nothing was changed: the run was undone and every file is as it was before it.";
    } else {
      message += " Undoing the run failed as well: " + problem +
                 ". Close every program that uses the game's files and run the patch again: it puts the game folder "
                 "back as it was before this run. " + kPutBackByHand;
    }
  }
  EndWithError(message, errorText);
}

void NoteRewrittenFile(const std::string& file, const std::string& previous) { rewrittenFiles.emplace(file, previous); }

void MakeRunDurable() {
  for (const auto& [file, previous] : rewrittenFiles) {
    if (!SyncFileWithPermissionsOf(file, previous)) {
      FailRun("\"" + file + "\" could not be written to disk with its permissions" + Because(errno));
    }
  }
  // A file moved into "database/bak" stays in its old place on disk until both folders are flushed.
  for (const char* folder : {".", "script", "database", "database/bak"}) {
    if (!SyncDirectory(folder)) {
      FailRun(std::string("the folder \"") + folder + "\" could not be written to disk" + Because(errno));
    }
  }
  journal.phase = RemovingBackupsPhase;
  if (!WriteJournal(journal)) {
    FailRun(std::string("the run journal \"") + kJournalFile + "\" could not be written" + Because(errno));
  }
  // From here on the backups are only deleted, never put back: a read-only
  // one need not keep its attribute for the "del" of RemoveBackups().
  for (const auto& [file, previous] : rewrittenFiles) PrepareForDeletion(previous);
}

int EndRun() {
  std::string problem;
  const bool removed = RemoveLeftoverBackups(problem);
  if (removed && DeleteJournal()) return 0;
  if (removed) problem = std::string("\"") + kJournalFile + "\" could not be deleted" + Because(errno);
  std::cout.flush();
  std::cerr << "\nvandoril-patch: the patch is " << (journal.uninstall ? "removed" : "installed")
            << " and every file is written, but " << problem
            << ". Close every program that uses the game's files and run the patch again: it finishes removing the "
               "backups.\n"
            << std::flush;
  return EndFailedRun();
}

int EndFailedRun() {
  if (ConsoleClosesWithProgram()) RunShell("pause");
  return 1;
}

std::string Because(int error, bool anyReason) {
  switch (error) {
    case 0: return "";
    case EBUSY:
    case ETXTBSY: return " (the file is in use by another program: close Veldo, the editor and any program that has the file "
                         "open, then run the patch again)";
    case EACCES:
    case EPERM:
    case EROFS: return " (access is denied: make the game's files writable, or run the patch as administrator from the "
                       "account that plays the game, so that it finds any copies of them in that account's VirtualStore)";
    case ENOSPC:
    case EFBIG: return " (the disk is full: free some space on it, then run the patch again)";
    default: return anyReason ? std::string(" (") + std::strerror(error) + ")" : "";
  }
}
