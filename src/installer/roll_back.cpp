#include "installer/roll_back.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "installer/crc32.h"
#include "installer/game_files.h"
#include "installer/messages.h"
#include "platform/durable_files.h"
#include "platform/files.h"

namespace {

// Adds "what (reason)" to `problem` and returns false.
bool Note(std::string& problem, const std::string& what, int error) {
  if (!problem.empty()) problem += "; ";
  problem += what + Because(error);
  return false;
}

// Looks `path` up; notes that its existence cannot be told when the system
// cannot answer.
PathLookup LookUpNoting(const std::string& path, std::string& problem, bool& ok) {
  const PathLookup found = LookUp(path);
  if (found.state == PathUnknown) ok = Note(problem, CannotTellWhetherExists(path), found.error);
  return found;
}

// Makes the entries of the folders that a run changes durable.
bool SyncFolders(std::string& problem) {
  bool synced = true;
  for (const char* folder : {".", "script", kDatabaseFolder}) {
    const PathLookup found = LookUpNoting(folder, problem, synced);
    if (found.state == PathPresent && found.kind == Folder && !SyncDirectory(folder)) {
      synced = Note(problem, CouldNotBeWrittenToDisk(folder), errno);
    }
  }
  return synced;
}

// Puts `saved.file` back from its backup, when the backup stands.
bool PutBack(const SavedFile& saved, std::string& problem) {
  bool back = true;
  const PathLookup backup = LookUpNoting(saved.backup, problem, back);
  if (backup.state != PathPresent) return back;
  // A move by link and unlink stopped between the two leaves the file under
  // both names; a rename of one onto the other would change nothing.
  int error = 0;
  switch (SameFile(saved.backup, saved.file, error)) {
    case OneFile:
      return RemoveFileForced(saved.backup) || Note(problem, CouldNotBeDeleted(saved.backup), errno);
    case SameFileUnknown:
      return Note(problem, CouldNotBePutBackAs(saved.backup, saved.file), error);
    case DifferentFiles: break;
  }
  return MoveReplacing(saved.backup, saved.file) ||
         Note(problem, CouldNotBePutBackAs(saved.backup, saved.file), errno);
}

// Puts every file back from its backup and makes that durable.
bool PutEveryFileBack(std::string& problem) {
  bool back = true;
  // The backups in "database/bak" are reached only through a folder: a link
  // there leads out of the run's reach, and is never followed.
  const PathLookup folder = LookUpNoting(kBackupFolder, problem, back);
  const bool folderUsable = folder.state == PathAbsent || (folder.state == PathPresent && folder.kind == Folder);
  if (folder.state == PathPresent && !folderUsable) {
    back = Note(problem, NotAFolderSoNotPutBack(kBackupFolderAsShown), 0);
  }
  for (const SavedFile& saved : SavedFiles()) {
    if (saved.backup.compare(0, 13, "database/bak/") == 0 && !folderUsable) continue;
    if (!PutBack(saved, problem)) back = false;
  }
  // What was put back must be on disk before anything is deleted, above all
  // the folder "database/bak" that it came from.
  if (folder.state == PathPresent && folderUsable && !SyncDirectory(kBackupFolder)) {
    back = Note(problem, CouldNotBeWrittenToDisk(kBackupFolderAsShown), errno);
  }
  return SyncFolders(problem) && back;
}

// Removes "database/bak", deleting the files in it first.  Only a run puts
// files there, and only while its journal exists.  A link in its place is
// removed itself: what it points to lies outside the run's reach.
bool RemoveBackupFolder(std::string& problem) {
  bool removed = true;
  const PathLookup folder = LookUpNoting(kBackupFolder, problem, removed);
  if (folder.state != PathPresent) return removed;
  if (folder.kind != Folder) {
    return RemoveFileForced(kBackupFolder) || Note(problem, CouldNotBeDeleted(kBackupFolderAsShown), errno);
  }
  std::error_code ec;
  std::vector<std::string> files;
  for (std::filesystem::directory_iterator it(kBackupFolder, ec), end; !ec && it != end; it.increment(ec)) {
    files.push_back(it->path().generic_string());
  }
  if (ec) return Note(problem, FolderNotListed(kBackupFolderAsShown), ec.value());
  for (const std::string& file : files) {
    const PathLookup found = LookUpNoting(file, problem, removed);
    if (found.state != PathPresent || found.kind == Folder) continue;  // a folder: the removal below names it
    if (!RemoveFileForced(file)) removed = Note(problem, CouldNotBeDeleted(file), errno);
  }
  if (removed && !RemoveEmptyFolder(kBackupFolder)) {
    removed = Note(problem, CouldNotBeRemoved(kBackupFolderAsShown), errno);
  }
  return removed;
}

enum Ownership { TheRuns, NotTheRuns, CannotTell };

// Whether the file `file`, which the journal names as created by the run, is
// still the run's.  One that the journal records as written must match the
// record; without a record, the run has created it empty or (34 and 41, made
// by the exchange) is still writing it.  Any other file was put there by
// someone else after the run stopped and stays.  A file that cannot be read
// or looked up cannot be told apart.
Ownership OwnerOf(const RunJournal& journal, const std::string& file, int& error) {
  const PathLookup found = LookUp(file);
  error = found.error;
  if (found.state != PathPresent) return found.state == PathAbsent ? NotTheRuns : CannotTell;
  if (found.kind != PlainFile) return NotTheRuns;
  for (const WrittenFile& written : journal.written) {
    if (written.name != file) continue;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!FileSizeAndCrc32(file, size, crc)) return error = errno, CannotTell;
    return size == written.size && crc == written.crc ? TheRuns : NotTheRuns;
  }
  if (file == CountryDatabase(34) || file == CountryDatabase(41)) return TheRuns;
  return found.size == 0 ? TheRuns : NotTheRuns;
}

// Deletes the files that the run created, while they are still its own.
bool DeleteCreatedFiles(const RunJournal& journal, std::string& problem) {
  bool deleted = true;
  for (const char* file : kIntermediateFiles) {
    if (!RemoveFileForced(file)) deleted = Note(problem, CouldNotBeDeleted(file), errno);
  }
  for (const std::string& file : journal.created) {
    if (file == kDatabaseFolder) continue;
    int error = 0;
    const Ownership owner = OwnerOf(journal, file, error);
    if (owner == CannotTell) deleted = Note(problem, CannotTellWhetherTheRunMade(file), error);
    if (owner == TheRuns && !RemoveFileForced(file)) deleted = Note(problem, CouldNotBeDeleted(file), errno);
  }
  return deleted;
}

// Removes the folder "database" when the run made it and it holds nothing.
bool RemoveMadeDatabaseFolder(const RunJournal& journal, std::string& problem) {
  if (std::count(journal.created.begin(), journal.created.end(), kDatabaseFolder) == 0) return true;
  bool removed = true;
  const PathLookup folder = LookUpNoting(kDatabaseFolder, problem, removed);
  if (folder.state != PathPresent || folder.kind != Folder) return removed;
  std::error_code ec;
  const bool empty = std::filesystem::is_empty(kDatabaseFolder, ec);
  if (ec) return Note(problem, FolderNotListed(kDatabaseFolder), ec.value());
  if (empty && !RemoveEmptyFolder(kDatabaseFolder)) return Note(problem, FolderNotRemoved(kDatabaseFolder), errno);
  return true;
}

// Creates the install marker again, which an uninstall run began by deleting.
bool RestoreInstallMarker(std::string& problem) {
  bool restored = true;
  if (LookUpNoting(kInstallMarker, problem, restored).state != PathAbsent) return restored;
  std::ofstream(kInstallMarker, std::ios::out | std::ios::trunc);
  const PathLookup marker = LookUp(kInstallMarker);
  return marker.state == PathPresent ||
         Note(problem, CouldNotBeCreatedAgain(kInstallMarker), marker.state == PathAbsent ? EIO : marker.error);
}

}  // namespace

bool RollBackRun(const RunJournal& journal, std::string& problem) {
  // Until every file is back, every backup and every file of the run stays,
  // and so does the journal that tells the next run how to finish this.
  if (!PutEveryFileBack(problem)) return false;

  bool undone = DeleteCreatedFiles(journal, problem);
  if (!RemoveBackupFolder(problem)) undone = false;
  if (!RemoveMadeDatabaseFolder(journal, problem)) undone = false;
  if (journal.uninstall && !RestoreInstallMarker(problem)) undone = false;
  if (!SyncFolders(problem)) undone = false;
  if (undone && !DeleteJournal()) undone = Note(problem, CouldNotBeDeleted(kJournalFile), errno);
  return undone;
}

bool FinishDeletingBackups(std::string& problem) {
  bool removed = true;
  for (const char* backup : kFileBackups) {
    if (!RemoveFileForced(backup)) removed = Note(problem, CouldNotBeDeleted(backup), errno);
  }
  if (!RemoveBackupFolder(problem)) removed = false;
  // Deleting the journal next must not reach the disk before these deletions do.
  return SyncFolders(problem) && removed;
}
