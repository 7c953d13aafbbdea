// The names of the files and folders that a run creates, rewrites and keeps
// its backups under, all relative to the game folder.
#pragma once

#include <string>
#include <vector>

extern const char kInstallMarker[];   // "vandoril_06.dontdelete": the patch is installed
extern const char kDatabaseFolder[];  // "database"
extern const char kBackupFolder[];    // "database/bak", the backups of the list and the databases
extern const char kBackupFolderAsShown[];  // "database\\bak", as players and commands name it

// "database/countryN.sav", N from 1 to 206.
std::string CountryDatabase(int number);

// The files and folders that a run may create or rewrite, by their own
// names: the install marker, the archives, "database", the country list,
// the results script and the 206 country databases.
std::vector<std::string> FilesTheRunChanges();

// A file's content from before the run, and the name that it goes back to.
struct SavedFile {
  std::string backup, file;
};

// Where each file's content from before the run lies once the run has moved
// it.  Countries 35 and 50 keep theirs under "_tmp" names; 34 and 41 under
// their plain names, because their "_tmp" files hold the exchanged
// databases.
const std::vector<SavedFile>& SavedFiles();

// The backups that lie beside their files, outside "database/bak".
extern const char* const kFileBackups[4];

// Files that a run writes on its way and that hold nothing from before it.
extern const char* const kIntermediateFiles[2];

// The name of the file whose content from before the run the backup
// `backup` holds; `backup` itself when it is none of the run's backups.
std::string OriginalName(const std::string& backup);
