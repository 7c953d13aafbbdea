#include "installer/messages.h"

#include <cerrno>
#include <cstring>

#include "installer/game_files.h"
#include "installer/run_journal.h"

const char kMessagePrefix[] = "vandoril-patch: ";

const char kEditorMissing[] =
    "Veldo-Editor wasn't found. That means you haven't installed the editor or this patch was not placed in the "
    "Veldo-Folder. Patch will not be installed.";
const char kBetaPatchFound[] =
    "Beta Patch found. Please uninstall the Betapatch first. Therefor you need the Betapatch-Installer.";
const char k2005PatchFound[] =
    "Patch for Veldo 2005 found. Please uninstall the Veldo2005 patch first. Therefor you need the Veldo 2005 "
    "patch-Installer.";
const char kAfterUninstallation[] = "After uninstallation, execute this patch again to install it.";
const char kAlreadyInstalled[] = "Patch is already installed. Aborting installation.";
const char kHowToUninstall[] = "To uninstall the patch please execute the file \"Brisco-UnInstall.exe\".";
const char kAttention[] =
    "ATTENTION: Before installing new database updates or game updates you have to uninstall this patch by "
    "executing the file \"Brisco-UnInstall.exe\". Otherwise your database will be corrupt. After installing the "
    "updates this patch can be installed again.\n\n";
const char kWaiting[] = "This will take some time. Please wait until the window closes...";

const char kAnotherRun[] =
    "another run of the patch is working in this folder. Wait until it has finished (its window "
    "closes), then run the patch again if you need to. Nothing was changed.";

const char kStopped[] = "The last run of the patch was stopped before it had finished.";

const char kPutBackByHand[] =
    "If this message comes back, put the folder right by hand: for each file named above that could not be put "
    "back, move whatever stands under its name out of the game folder and give its backup that name; then run the "
    "patch again: it finishes putting the folder back.";

const char kNotWritable[] =
    "The game folder cannot be written: access is denied, or it lies on a read-only medium. "
    "If the game is installed under \"Program Files\", run the patch as administrator (right-click it and choose "
    "\"Run as administrator\") from the account that plays the game: the patch looks for the copies of the game's "
    "files that Windows keeps for that account in VirtualStore, which the game reads instead of its own. If "
    "the folder is on a read-only medium, copy the game to a writable disk first. Nothing was changed.";

const char kArchiveStepError[] = "error2!!!";
const char kTextStepError[] = "error!!!";

namespace {

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// "a", "b", "c"
std::string QuotedList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + Quoted(name);
  return list;
}

// "no San Marino record", "2 San Marino records", or "" when there is one.
std::string DescribeCount(int count, const char* country) {
  if (count == 0) return std::string("no ") + country + " record";
  if (count > 1) return std::to_string(count) + " " + country + " records";
  return "";
}

}  // namespace

std::string BackupsInTheWay(const std::vector<std::string>& backups) {
  return "backups that no run of this patch is working with are in the game folder: " + QuotedList(backups) +
         ". Nothing was changed. They may be left over from an older patch or copied there by hand, and may hold the "
         "only copy of a game file (\"art_01.bak\" of \"art_01.big\", \"script/Results.bak\" of "
         "\"script/Results.txt\", \"database\\bak\" of files of the folder \"database\"). Put back what you need, "
         "move them out of the game folder, and run the patch again.";
}

std::string UnreadableMarker() {
  return "the install marker " + Quoted(kInstallMarker) +
         " exists but cannot be read, so it is not known whether the patch is installed. Nothing was changed. Make "
         "the file readable, or delete it if the patch is not installed, and run the patch again.";
}

std::string ShadowCopiesInTheWay(const std::string& folder, const std::vector<std::string>& files) {
  return "Windows keeps copies of game files for your account in the folder " + Quoted(folder) + ": " +
         QuotedList(files) +
         ". Windows made them when the game or the editor saved those files without administrator rights, and the "
         "game reads them instead of the files in its own folder, so a patch of the game folder would not reach the "
         "game. Nothing was changed. Move them into the game folder, replacing the files there, then run the patch "
         "again (as administrator, if the game folder asks for it).";
}

std::string UnsafeRun(const std::string& problem) {
  return problem +
         ". Nothing was changed: the patch does not begin a run that it could not undo. Put that file or folder right "
         "(the game's own, readable and writable for your account), then run the patch again.";
}

std::string UnreadableJournal(const std::string& reason) {
  return Quoted(kJournalFile) +
         " cannot be read now: close the programs that hold it and run the patch again. Nothing was changed" + reason +
         ".";
}

std::string ForeignJournal() {
  return Quoted(kJournalFile) +
         " is not a journal of this patch: it is damaged, or another program wrote it. Nothing was changed. Move that "
         "file out of the game folder and run the patch again; if a stopped run left backups, the patch then names "
         "them and changes nothing until they are put right.";
}

std::string RepairFailed(const std::string& problem, bool byHand) {
  return std::string(kStopped) + " Repairing the game folder failed: " + problem +
         ". Close every program that uses the game's files and run the patch again." +
         (byHand ? std::string(" ") + kPutBackByHand : "");
}

std::string StoppedRunPutBack(bool uninstall) {
  return std::string(kStopped) + " Every file has been put back as it was before that run: the patch is " +
         (uninstall ? "still installed. To remove it, run the patch again with /uninstall."
                    : "not installed. To install it, run the patch again.");
}

std::string StoppedRunFinished(bool uninstall) {
  return std::string(kStopped) + " It had written every file, and its backups are now removed: the patch is " +
         (uninstall ? "removed." : "installed.");
}

std::string JournalNotBegun(const std::string& reason) {
  return "The run journal " + Quoted(kJournalFile) + " could not be written" + reason + ". Nothing was changed.";
}

std::string RunStoppedHalfway(const std::string& failed) {
  return failed +
         ". The run stopped there and changed nothing more, so the game folder is neither as it was nor fully "
         "patched. Close every program that uses the game's files and run the patch again: it repairs the game "
         "folder.";
}

std::string FailedAndUndone(const std::string& what) {
  return what + ". Nothing was changed: the run was undone and every file is as it was before it.";
}

std::string FailedAndNotUndone(const std::string& what, const std::string& problem) {
  return what + ". Undoing the run failed as well: " + problem +
         ". Close every program that uses the game's files and run the patch again: it puts the game folder back as "
         "it was before this run. " + kPutBackByHand;
}

std::string BackupsNotRemoved(bool uninstall, const std::string& problem) {
  return std::string("the patch is ") + (uninstall ? "removed" : "installed") + " and every file is written, but " +
         problem +
         ". Close every program that uses the game's files and run the patch again: it finishes removing the "
         "backups.";
}

std::string CountryRecordsWrong(const std::string& list, int sanMarinoCount, int netherlandsCount) {
  std::string problems = DescribeCount(sanMarinoCount, "San Marino");
  const std::string netherlands = DescribeCount(netherlandsCount, "Netherlands");
  if (!problems.empty() && !netherlands.empty()) problems += " and ";
  return Quoted(list) + " has " + problems + netherlands +
         " where exactly one of each is needed; the country list was left as it was.";
}

std::string JournalCouldNotBeWritten() { return "the run journal " + Quoted(kJournalFile) + " could not be written"; }
std::string MarkerNotCreated() { return "the install marker " + Quoted(kInstallMarker) + " could not be created"; }
std::string MarkerNotDeleted() { return "the install marker " + Quoted(kInstallMarker) + " could not be deleted"; }
std::string CannotTellWhetherExists(const std::string& name) {
  return "it cannot be told whether " + Quoted(name) + " exists";
}
std::string CannotTellWhetherMoved(const std::string& file, const std::string& backup) {
  return "it cannot be told whether " + Quoted(file) + " was moved to " + Quoted(backup);
}
std::string CannotTellWhetherTheRunMade(const std::string& file) {
  return "it cannot be told whether this run made " + Quoted(file);
}
std::string CouldNotBeMovedTo(const std::string& file, const std::string& backup) {
  return Quoted(file) + " could not be moved to " + Quoted(backup);
}
std::string CouldNotBePutBackAs(const std::string& backup, const std::string& file) {
  return Quoted(backup) + " could not be put back as " + Quoted(file);
}
std::string CouldNotBeDeleted(const std::string& name) { return Quoted(name) + " could not be deleted"; }
std::string CouldNotBeRemoved(const std::string& name) { return Quoted(name) + " could not be removed"; }
std::string CouldNotBeCreatedAgain(const std::string& name) { return Quoted(name) + " could not be created again"; }
std::string CouldNotBeReadBack(const std::string& file) { return Quoted(file) + " could not be read back"; }
std::string CouldNotBeWrittenToDisk(const std::string& name) { return Quoted(name) + " could not be written to disk"; }
std::string NotWrittenWithItsPermissions(const std::string& file) {
  return CouldNotBeWrittenToDisk(file) + " with its permissions";
}
std::string FolderNotWrittenToDisk(const std::string& folder) { return "the folder " + CouldNotBeWrittenToDisk(folder); }
std::string FolderNotListed(const std::string& folder) { return "the folder " + Quoted(folder) + " could not be listed"; }
std::string FolderNotRemoved(const std::string& folder) { return "the folder " + CouldNotBeRemoved(folder); }
std::string FolderNotListedAndWritten(const std::string& folder) {
  return "the folder " + Quoted(folder) + " cannot be listed and written";
}
std::string NotAFolderSoNotPutBack(const std::string& folder) {
  return Quoted(folder) + " is not a folder, so the files in it could not be put back";
}
std::string IsALinkNotAFolder(const std::string& name) { return Quoted(name) + " is a link, not a folder"; }
std::string IsNotAFolder(const std::string& name) { return Quoted(name) + " is not a folder"; }
std::string IsAFolderNotAFile(const std::string& name) { return Quoted(name) + " is a folder, not a file"; }
std::string CannotBeRead(const std::string& name) { return Quoted(name) + " cannot be read"; }
std::string WasNotFound(const std::string& file) { return Quoted(file) + " was not found"; }
std::string NotOpenedForReading(const std::string& file) { return Quoted(file) + " could not be opened for reading"; }
std::string NotOpenedForWriting(const std::string& file) { return Quoted(file) + " could not be opened for writing"; }
std::string ReadingFailed(const std::string& file) { return "reading " + Quoted(file) + " failed (I/O error)"; }
std::string WritingFailed(const std::string& file, int error) {
  const bool diskFull = error == ENOSPC || error == EFBIG;
  return "writing " + Quoted(file) + " failed" + (diskFull ? Because(error) : " (disk full or I/O error)");
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

std::string PatchNotBesideUninstaller(const std::string& patch, const std::string& folder) {
  return "Brisco-UnInstall: " + patch + " was not found in the folder of this uninstaller (" + folder +
         "), so the patch cannot be removed. Put " + patch + " from the patch's zip back into that folder, then run "
         "Brisco-UnInstall.exe again. Nothing was changed.";
}

std::string NotInstalledHere(const std::string& folder) {
  return "vandoril-patch is not installed in this folder (" + folder +
         "), so there is nothing to remove. Nothing was changed.";
}

std::string InterpreterNotStarted(const std::string& reason) {
  return "The command interpreter could not be started: " + reason;
}

std::vector<std::string> AllMessageTexts() {
  const std::string file = "art_01.big", backup = "art_01.bak", reason = Because(EBUSY);
  const std::vector<std::string> names = {backup, kBackupFolderAsShown};
  std::vector<std::string> texts = {
      kMessagePrefix, kEditorMissing, kBetaPatchFound, k2005PatchFound, kAfterUninstallation, kAlreadyInstalled,
      kHowToUninstall, kAttention, kWaiting, kAnotherRun, BackupsInTheWay(names), UnreadableMarker(),
      ShadowCopiesInTheWay("C:\\Users\\player\\AppData\\Local\\VirtualStore\\Games\\Veldo", names),
      UnsafeRun(IsNotAFolder(kDatabaseFolder)), UnreadableJournal(reason), ForeignJournal(),
      kStopped, RepairFailed(CouldNotBeDeleted(backup) + reason, true), StoppedRunPutBack(false),
      StoppedRunPutBack(true), StoppedRunFinished(false), StoppedRunFinished(true), kPutBackByHand, kNotWritable,
      JournalNotBegun(reason), RunStoppedHalfway(JournalCouldNotBeWritten() + reason), FailedAndUndone(ReadingFailed(file)),
      FailedAndNotUndone(WritingFailed(file, ENOSPC), CouldNotBePutBackAs(backup, file) + reason),
      BackupsNotRemoved(false, CouldNotBeDeleted(backup)), BackupsNotRemoved(true, CouldNotBeDeleted(backup)),
      kArchiveStepError, kTextStepError, CountryRecordsWrong("database/countries.sav", 0, 2),
      MarkerNotCreated(), MarkerNotDeleted(), CannotTellWhetherExists(file), CannotTellWhetherMoved(file, backup),
      CannotTellWhetherTheRunMade(file), CouldNotBeMovedTo(file, backup), CouldNotBeRemoved(file),
      CouldNotBeCreatedAgain(file), CouldNotBeReadBack(file), NotWrittenWithItsPermissions(file),
      FolderNotWrittenToDisk(kDatabaseFolder), FolderNotListed(kDatabaseFolder), FolderNotRemoved(kDatabaseFolder),
      FolderNotListedAndWritten(kDatabaseFolder), NotAFolderSoNotPutBack(kBackupFolderAsShown),
      IsALinkNotAFolder(kDatabaseFolder), IsAFolderNotAFile(file), CannotBeRead(file), WasNotFound(file),
      NotOpenedForReading(file), NotOpenedForWriting(file), WritingFailed(file, EIO),
      PatchNotBesideUninstaller("vandoril-patch.exe", "C:\\Games\\Veldo"), NotInstalledHere("C:\\Games\\Veldo"),
      InterpreterNotStarted("Access is denied.")};
  for (int error : {EBUSY, EACCES, ENOSPC}) texts.push_back(Because(error));
  return texts;
}
