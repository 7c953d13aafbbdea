#include "database/database_rewrite.h"

#include <cstdio>

#include "installer/shared_state.h"
#include "platform/files.h"

bool OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup) {
  const std::string& ownBackup = liveBackup.empty() ? backup : liveBackup;
  if (PathExists(live)) {
    PrintWarning("\"" + live + "\" could not be moved to \"" + ownBackup + "\" and was left as it was.");
    return false;
  }
  if (OpenStepFiles(backup, live, ownBackup)) return true;
  if (!sharedInput.is_open() && PathExists(backup)) {
    // Something stands under the backup name that cannot be read: the live
    // file, created empty a moment ago, must not pass for the database.
    sharedOutput.close();
    std::remove(live.c_str());
    PrintWarning("\"" + backup + "\" cannot be read, so \"" + live + "\" was not written.");
    return false;
  }
  if (sharedInput.is_open()) {
    const std::string message = "vandoril-patch: \"" + live + "\" cannot be written; its previous content is kept in \"" +
                                ownBackup + "\". The patch stopped here and removed no backup.\n";
    FailStep(message.c_str());
  }
  return false;
}
