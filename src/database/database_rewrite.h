// Opening a country database for its rewrite, after the step has moved the
// database to its backup.
#pragma once

#include <string>

// Opens `backup` on sharedInput and `live` on sharedOutput for a rewrite of
// `live` from `backup`, never destroying a database whose content is not in
// its backup, which is `liveBackup` when that is not `backup` itself.
// When the database to read did not exist as the run began, `live` is
// created empty and the input stays closed, so that the rewrite reads
// nothing.  The caller has checked that `live` no longer stands (its move
// did not fail).  Fails the run when something stands under `backup` that
// cannot be read, or when `live` cannot be written.  The caller then rewrites
// and calls CloseStepFiles().
void OpenDatabaseRewrite(const std::string& backup, const std::string& live, const std::string& liveBackup = {});
