#include "installer/folder_survey.h"

#include <cerrno>

#include "installer/game_files.h"
#include "installer/messages.h"
#include "platform/files.h"

namespace {

bool Refuse(std::string& problem, const std::string& what, int error) {
  problem = what + Because(error);
  return false;
}

bool CannotTell(std::string& problem, const std::string& name, int error) {
  return Refuse(problem, CannotTellWhetherExists(name), error);
}

// False, with `problem`, when `folder` stands but is not a folder that the
// run can list and write.
bool FolderIsUsable(const char* folder, std::string& problem) {
  int error = 0;
  const PathLookup found = LookUp(folder);
  if (found.state == PathUnknown) return CannotTell(problem, folder, found.error);
  if (found.state == PathAbsent) return true;  // made by the run, or the run fails on its first file there
  if (found.kind == Link) return Refuse(problem, IsALinkNotAFolder(folder), 0);
  if (found.kind != Folder) return Refuse(problem, IsNotAFolder(folder), 0);
  if (!FolderCanBeChanged(folder, error)) {
    return Refuse(problem, FolderNotListedAndWritten(folder), error);
  }
  return true;
}

}  // namespace

bool FindBackupsInTheFolder(std::vector<std::string>& found, std::string& problem) {
  std::vector<std::string> names(std::begin(kFileBackups), std::end(kFileBackups));
  names.push_back(kBackupFolder);
  for (const std::string& name : names) {
    const PathLookup backup = LookUp(name);
    // Within a "database" that the run cannot use, the survey names that folder.
    std::string unusable;
    if (backup.state == PathUnknown && name == kBackupFolder && !FolderIsUsable(kDatabaseFolder, unusable)) continue;
    if (backup.state == PathUnknown) return CannotTell(problem, name, backup.error);
    if (backup.state == PathPresent) found.push_back(name == kBackupFolder ? kBackupFolderAsShown : name);
  }
  return true;
}

bool SurveyGameFolder(std::vector<std::string>& absent, std::string& problem) {
  for (const char* folder : {kDatabaseFolder, "script"}) {
    if (!FolderIsUsable(folder, problem)) return false;
  }
  for (const std::string& file : FilesTheRunChanges()) {
    const bool moved = file != kInstallMarker && file != kDatabaseFolder;  // to its backup, and read back
    if (moved && OpensAsReadableFile(file)) continue;
    const PathLookup found = LookUp(file);
    if (found.state == PathUnknown) return CannotTell(problem, file, found.error);
    if (found.state == PathAbsent) {
      absent.push_back(file);
    } else if (moved) {
      if (found.kind == Folder) return Refuse(problem, IsAFolderNotAFile(file), 0);
      errno = 0;
      const bool readable = found.kind == PlainFile ? PlainFileCanBeRead(file) : FileIsPresent(file);
      if (!readable) return Refuse(problem, CannotBeRead(file), errno != 0 ? LastFileError() : EIO);
    }
  }
  return true;
}
