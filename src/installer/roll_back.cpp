#include "installer/roll_back.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "installer/crc32.h"
#include "installer/run_control.h"
#include "platform/durable_files.h"
#include "platform/files.h"

const char kInstallMarker[] = "vandoril_06.dontdelete";
const char kPutBackByHand[] =
    "If this message comes back, put the folder right by hand: for each file named above that could not be put "
    "back, move whatever stands under its name out of the game folder and give its backup that name; then run the "
    "patch again: it finishes putting the folder back.";

namespace {

constexpr int kCountries = 206;
const char kBackupFolder[] = "database/bak";
const char kDatabaseFolder[] = "database";

std::string Database(int number) { return "database/country" + std::to_string(number) + ".sav"; }

// A file's original content and where it goes back to.
struct SavedFile {
  std::string backup, file;
};

// Where each file's content from before the run lies once the run has
// moved it.  Countries 35 and 50 keep theirs under "_tmp" names; 34 and 41
// under their plain names, because their "_tmp" files hold the exchanged
// databases.
std::vector<SavedFile> SavedFiles() {
  std::vector<SavedFile> saved = {
      {"art_01.bak", "art_01.big"},
      {"art_02.bak", "art_02.big"},
      {"art_03.bak", "art_03.big"},
      {"database/bak/countries.sav", "database/countries.sav"},
      {"script/Results.bak", "script/Results.txt"},
  };
  for (int number = 1; number <= kCountries; ++number) {
    const std::string suffix = number == 35 || number == 50 ? "_tmp.sav" : ".sav";
    saved.push_back({"database/bak/country" + std::to_string(number) + suffix, Database(number)});
  }
  return saved;
}

// The backups that lie beside their files.
const char* const kFileBackups[] = {"art_01.bak", "art_02.bak", "art_03.bak", "script/Results.bak"};

// Files that a run writes on its way and that hold nothing from before it.
const char* const kIntermediateFiles[] = {"database/bak/country34_tmp.sav", "database/bak/country41_tmp.sav"};

// Adds "what (reason)" to `problem` and returns false.
bool Note(std::string& problem, const std::string& what) {
  if (!problem.empty()) problem += "; ";
  problem += what + Because(errno);
  return false;
}

// Makes the entries of the folders that a run changes durable.
bool SyncFolders(std::string& problem) {
  bool synced = true;
  for (const char* folder : {".", "script", kDatabaseFolder}) {
    if (IsDirectory(folder) && !SyncDirectory(folder)) synced = Note(problem, std::string("\"") + folder + "\" could not be written to disk");
  }
  return synced;
}

// Removes "database/bak", deleting the files in it first.  Only a run puts
// files there, and only while its journal exists.  A link in its place is
// removed itself: what it points to lies outside the run's reach.
bool RemoveBackupFolder(std::string& problem) {
  if (!IsDirectory(kBackupFolder) || IsLink(kBackupFolder)) {
    return !PathExists(kBackupFolder) || RemoveFileForced(kBackupFolder) || Note(problem, "\"database\\bak\" could not be deleted");
  }
  bool removed = true;
  std::error_code ec;
  std::vector<std::string> files;
  for (std::filesystem::directory_iterator it(kBackupFolder, ec), end; !ec && it != end; it.increment(ec)) {
    files.push_back(it->path().generic_string());
  }
  for (const std::string& file : files) {
    if (!IsDirectory(file) && !RemoveFileForced(file)) removed = Note(problem, "\"" + file + "\" could not be deleted");
  }
  if (removed && !RemoveEmptyFolder(kBackupFolder)) removed = Note(problem, "\"database\\bak\" could not be removed");
  return removed;
}

// Whether the file `file`, which the journal names as created by the run, is
// still the run's.  One that the journal records as written must match the
// record; without a record, the run has created it empty or (34 and 41, made
// by the exchange) is still writing it.  Any other file, or one that cannot
// be read, was put there by someone else after the run stopped and stays.
bool MadeByTheRun(const RunJournal& journal, const std::string& file) {
  if (IsDirectory(file)) return false;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  for (const WrittenFile& written : journal.written) {
    if (written.name == file) return FileSizeAndCrc32(file, size, crc) && size == written.size && crc == written.crc;
  }
  if (file == Database(34) || file == Database(41)) return true;
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file, ec);
  return ec || bytes == 0;
}

// True when `folder` is a folder that holds nothing.
bool IsEmptyFolder(const char* folder) {
  std::error_code ec;
  return !IsLink(folder) && std::filesystem::is_empty(folder, ec) && !ec;
}

}  // namespace

std::vector<std::string> FilesTheRunChanges() {
  std::vector<std::string> files = {kInstallMarker, "art_01.big", "art_02.big", "art_03.big",
                                    kDatabaseFolder, "database/countries.sav", "script/Results.txt"};
  for (int number = 1; number <= kCountries; ++number) files.push_back(Database(number));
  return files;
}

std::string OriginalName(const std::string& backup) {
  for (const SavedFile& saved : SavedFiles()) {
    if (saved.backup == backup) return saved.file;
  }
  return backup;
}

std::vector<std::string> BackupsInTheFolder() {
  std::vector<std::string> found;
  for (const char* backup : kFileBackups) {
    if (PathExists(backup)) found.push_back(backup);
  }
  if (PathExists(kBackupFolder)) found.push_back("database\\bak");
  return found;
}

bool RollBackRun(const RunJournal& journal, std::string& problem) {
  bool back = true;
  for (const SavedFile& saved : SavedFiles()) {
    if (PathExists(saved.backup) && !MoveReplacing(saved.backup, saved.file)) {
      back = Note(problem, "\"" + saved.backup + "\" could not be put back as \"" + saved.file + "\"");
    }
  }
  // What was put back must be on disk before anything is deleted, above all
  // the folder "database/bak" that it came from.
  if (IsDirectory(kBackupFolder) && !SyncDirectory(kBackupFolder)) {
    back = Note(problem, "\"database\\bak\" could not be written to disk");
  }
  if (!SyncFolders(problem)) back = false;
  // Until every file is back, every backup and every file of the run stays,
  // and so does the journal that tells the next run how to finish this.
  if (!back) return false;

  bool undone = true;
  for (const char* file : kIntermediateFiles) {
    if (!RemoveFileForced(file)) undone = Note(problem, std::string("\"") + file + "\" could not be deleted");
  }
  // Files that the run created, then the folder that it may have made.
  for (const std::string& file : journal.created) {
    if (file != kDatabaseFolder && MadeByTheRun(journal, file) && !RemoveFileForced(file)) {
      undone = Note(problem, "\"" + file + "\" could not be deleted");
    }
  }
  if (!RemoveBackupFolder(problem)) undone = false;
  const bool madeDatabase = std::count(journal.created.begin(), journal.created.end(), kDatabaseFolder) != 0;
  if (madeDatabase && IsEmptyFolder(kDatabaseFolder) && !RemoveEmptyFolder(kDatabaseFolder)) {
    undone = Note(problem, "the folder \"database\" could not be removed");
  }
  // An uninstall run began by deleting the marker.
  if (journal.uninstall && !FileIsPresent(kInstallMarker)) {
    std::ofstream(kInstallMarker, std::ios::out | std::ios::trunc);
    if (!FileIsPresent(kInstallMarker)) undone = Note(problem, std::string("\"") + kInstallMarker + "\" could not be created again");
  }
  if (!SyncFolders(problem)) undone = false;
  RemoveJournalDraft();
  if (undone && !DeleteJournal()) undone = Note(problem, std::string("\"") + kJournalFile + "\" could not be deleted");
  return undone;
}

bool RemoveLeftoverBackups(std::string& problem) {
  bool removed = true;
  for (const char* backup : kFileBackups) {
    if (!RemoveFileForced(backup)) removed = Note(problem, std::string("\"") + backup + "\" could not be deleted");
  }
  if (!RemoveBackupFolder(problem)) removed = false;
  // Deleting the journal next must not reach the disk before these deletions do.
  return SyncFolders(problem) && removed;
}
