#include "installer/folder_survey.h"

#include <cerrno>

#include "installer/roll_back.h"
#include "installer/run_control.h"
#include "platform/files.h"

namespace {

bool Refuse(std::string& problem, const std::string& what, int error) {
  problem = what + Because(error);
  return false;
}

}  // namespace

bool SurveyGameFolder(std::vector<std::string>& absent, std::string& problem) {
  for (const char* folder : {"database", "script"}) {
    int error = 0;
    if (!PathExists(folder)) continue;  // made by the run, or the run fails on its first file there
    if (!IsDirectory(folder)) return Refuse(problem, std::string("\"") + folder + "\" is not a folder", 0);
    if (!FolderCanBeChanged(folder, error)) {
      return Refuse(problem, std::string("the folder \"") + folder + "\" cannot be listed and written", error);
    }
  }
  for (const std::string& file : FilesTheRunChanges()) {
    int error = 0;
    const PathState state = LookUpPath(file, error);
    if (state == PathUnknown) return Refuse(problem, "it cannot be told whether \"" + file + "\" exists", error);
    if (state == PathAbsent) {
      absent.push_back(file);
    } else if (file != kInstallMarker && file != "database") {
      // A file that a step moves to its backup and reads back.
      if (IsDirectory(file)) return Refuse(problem, "\"" + file + "\" is a folder, not a file", 0);
      errno = 0;
      if (!FileIsPresent(file)) return Refuse(problem, "\"" + file + "\" cannot be read", errno != 0 ? LastFileError() : EIO);
    }
  }
  return true;
}
