#include "database/database_rewrite.h"

#include <cerrno>

#include "installer/run_control.h"
#include "installer/shared_state.h"
#include "platform/files.h"

bool OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup) {
  const std::string& ownBackup = liveBackup.empty() ? backup : liveBackup;
  FailIfNotMoved(live, ownBackup, errno);
  if (OpenStepFiles(backup, live, ownBackup)) return true;
  // Something stands under the backup name that cannot be read, or the
  // database cannot be written.
  if (sharedInput.is_open() || PathExists(backup)) FailRun(DescribeOpenFailure());
  return false;
}
