#include "installer/game_files.h"

const char kInstallMarker[] = "vandoril_06.dontdelete";
const char kDatabaseFolder[] = "database";
const char kBackupFolder[] = "database/bak";
const char kBackupFolderAsShown[] = "database\\bak";
const char* const kFileBackups[4] = {"art_01.bak", "art_02.bak", "art_03.bak", "script/Results.bak"};
const char* const kIntermediateFiles[2] = {"database/bak/country34_tmp.sav", "database/bak/country41_tmp.sav"};

namespace {

constexpr int kCountries = 206;

}  // namespace

std::string CountryDatabase(int number) { return "database/country" + std::to_string(number) + ".sav"; }

std::vector<std::string> FilesTheRunChanges() {
  std::vector<std::string> files = {kInstallMarker, "art_01.big", "art_02.big", "art_03.big",
                                    kDatabaseFolder, "database/countries.sav", "script/Results.txt"};
  for (int number = 1; number <= kCountries; ++number) files.push_back(CountryDatabase(number));
  return files;
}

const std::vector<SavedFile>& SavedFiles() {
  static const std::vector<SavedFile> saved = [] {
    std::vector<SavedFile> files = {
        {"art_01.bak", "art_01.big"},
        {"art_02.bak", "art_02.big"},
        {"art_03.bak", "art_03.big"},
        {"database/bak/countries.sav", "database/countries.sav"},
        {"script/Results.bak", "script/Results.txt"},
    };
    for (int number = 1; number <= kCountries; ++number) {
      const std::string suffix = number == 35 || number == 50 ? "_tmp.sav" : ".sav";
      files.push_back({"database/bak/country" + std::to_string(number) + suffix, CountryDatabase(number)});
    }
    return files;
  }();
  return saved;
}

std::string OriginalName(const std::string& backup) {
  for (const SavedFile& saved : SavedFiles()) {
    if (saved.backup == backup) return saved.file;
  }
  return backup;
}
