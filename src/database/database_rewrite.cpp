#include "database/database_rewrite.h"

#include <cerrno>

#include "installer/run_control.h"
#include "installer/shared_state.h"
#include "platform/files.h"

void OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup) {
  const std::string& ownBackup = liveBackup.empty() ? backup : liveBackup;
  FailIfNotMoved(live, ownBackup, errno);
  // Unless neither file exists: something stands under the backup name that
  // cannot be read, or the database cannot be written.
  if (!OpenStepFiles(backup, live, ownBackup) && (sharedInput.is_open() || PathExists(backup))) {
    FailRun(DescribeOpenFailure());
  }
}
