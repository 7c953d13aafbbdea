// Opening a country database for its rewrite, after the step has moved the
// database to its backup.
#pragma once

#include <string>

// Opens `backup` on sharedInput and `live` on sharedOutput for a rewrite of
// `live` from `backup`, never destroying a database whose content is not in
// its backup, which is `liveBackup` when that is not `backup` itself.  Returns true when both are open and the rewrite may go on.
// Returns false, with `live` left as it is and one line on standard error
// naming it, when `live` is still in place (its move failed) or something
// stands under `backup` that cannot be read.  When neither exists, `live` is
// created empty and false is returned.  When the backup opened but `live`
// cannot be created, ends the program with status 1 so that no backup is
// removed.  The caller calls CloseStepFiles() in every case that returns.
bool OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup = {});
