#include "installer/run_control.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <map>

#include "installer/crc32.h"
#include "installer/game_files.h"
#include "installer/messages.h"
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

[[noreturn]] void EndWithError(const std::string& message, const char* errorText) {
  std::cout.flush();
  std::cerr << (ProgressLineOpen() ? "\n" : "") << kMessagePrefix << message << "\n" << errorText << std::flush;
  std::exit(EndFailedRun());
}

bool Named(const std::vector<std::string>& names, const std::string& file) {
  return std::find(names.begin(), names.end(), file) != names.end();
}

// Puts `next` in the journal's place.  When the old journal surely stands,
// the run fails and is undone by it.  When the new one may stand, or the old
// one come back after a power cut, the run may neither go on nor undo itself
// (a roll-back cut short under a journal that says "removing backups" would
// leave the folder half patched): it stops where it is, and the next run
// repairs the folder by whichever journal it finds, both of which fit it.
void CommitJournal(const RunJournal& next) {
  const JournalWrite result = WriteJournal(next);
  if (result == JournalWritten) {
    journal = next;
    return;
  }
  const std::string failed = JournalCouldNotBeWritten() + Because(errno);
  if (result == JournalNotWritten) FailRun(failed);
  sharedInput.close();
  sharedOutput.close();
  EndWithError(RunStoppedHalfway(failed), "");
}

}  // namespace

void BeginRun(bool uninstall, const std::vector<std::string>& absent) {
  journal = RunJournal();
  journal.uninstall = uninstall;
  absentAtStart = absent;
  const bool createsMarker = Named(absent, kInstallMarker);
  if (!uninstall && createsMarker) journal.created.push_back(kInstallMarker);
  if (WriteJournal(journal) != JournalWritten) {
    // Nothing else has changed yet: whatever the journal got as far as goes.
    const int error = errno;
    DeleteJournal();
    if (IsNotWritableError(error)) EndWithError(kNotWritable, "");
    EndWithError(JournalNotBegun(Because(error)), "");
  }
  runBegun = true;
}

bool BackupNeverExisted(const std::string& backup) {
  return runBegun ? Named(absentAtStart, OriginalName(backup)) : LookUp(backup).state == PathAbsent;
}

void NoteFileToCreate(const std::string& file) {
  if (!runBegun || !Named(absentAtStart, file)) return;
  const PathLookup found = LookUp(file);
  if (found.state == PathUnknown) FailRun(CannotTellWhetherExists(file) + Because(found.error));
  if (found.state == PathPresent) return;
  RunJournal next = journal;
  const auto written = std::find_if(next.written.begin(), next.written.end(),
                                    [&file](const WrittenFile& entry) { return entry.name == file; });
  if (Named(next.created, file) && written == next.written.end()) return;
  if (!Named(next.created, file)) next.created.push_back(file);
  // Written once and now to be written again: until it is on disk, what
  // stands under its name is the run's unfinished file.
  if (written != next.written.end()) next.written.erase(written);
  // Until the new journal is written, the file is not created: the roll-back
  // follows the journal that stands.
  CommitJournal(next);
}

void NoteCreatedFileWritten(const std::string& file) {
  if (!runBegun || !Named(journal.created, file)) return;
  WrittenFile written{file, 0, 0};
  if (!FileSizeAndCrc32(file, written.size, written.crc)) {
    FailRun(CouldNotBeReadBack(file) + Because(errno));
  }
  // An empty file tells itself apart from any that a player puts there.
  if (written.size == 0) return;
  if (!SyncFile(file)) FailRun(CouldNotBeWrittenToDisk(file) + Because(errno));
  RunJournal next = journal;
  next.written.push_back(written);
  CommitJournal(next);
}

void FailRun(const std::string& what, const char* errorText) {
  // Open files could be neither moved back nor deleted on Windows.
  sharedInput.close();
  sharedOutput.close();
  std::string problem;
  const std::string message = !runBegun                        ? what + "."
                              : RollBackRun(journal, problem) ? FailedAndUndone(what)
                                                              : FailedAndNotUndone(what, problem);
  EndWithError(message, errorText);
}

void NoteRewrittenFile(const std::string& file, const std::string& previous) { rewrittenFiles.emplace(file, previous); }

void MakeRunDurable() {
  for (const auto& [file, previous] : rewrittenFiles) {
    if (!SyncFileWithPermissionsOf(file, previous)) {
      FailRun(NotWrittenWithItsPermissions(file) + Because(errno));
    }
  }
  // A file moved into "database/bak" stays in its old place on disk until both folders are flushed.
  for (const char* folder : {".", "script", "database", "database/bak"}) {
    if (!SyncDirectory(folder)) {
      FailRun(FolderNotWrittenToDisk(folder) + Because(errno));
    }
  }
  RunJournal next = journal;
  next.phase = RemovingBackupsPhase;
  CommitJournal(next);
  // From here on the backups are only deleted, never put back: a read-only
  // one beside its file need not keep its attribute for the plain "del" of
  // RemoveBackups() ("database\bak" is emptied by a "del /F").
  for (const char* backup : kFileBackups) PrepareForDeletion(backup);
}

int EndRun() {
  std::string problem;
  const bool removed = FinishDeletingBackups(problem);
  if (removed && DeleteJournal()) return 0;
  if (removed) problem = CouldNotBeDeleted(kJournalFile) + Because(errno);
  std::cout.flush();
  std::cerr << "\n" << kMessagePrefix << BackupsNotRemoved(journal.uninstall, problem) << "\n" << std::flush;
  return EndFailedRun();
}

int EndFailedRun() {
  if (ConsoleClosesWithProgram()) RunShell("pause");
  return 1;
}
