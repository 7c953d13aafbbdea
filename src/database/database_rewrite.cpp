#include "database/database_rewrite.h"

#include "installer/run_control.h"
#include "installer/shared_state.h"

void OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup) {
  const std::string& ownBackup = liveBackup.empty() ? backup : liveBackup;
  // Unless the database to read did not exist when the run began: something
  // stands under the backup name that cannot be read, or the database cannot
  // be written.
  if (!OpenStepFiles(backup, live, ownBackup) && (sharedInput.is_open() || !BackupNeverExisted(backup))) {
    FailRun(DescribeOpenFailure());
  }
}
