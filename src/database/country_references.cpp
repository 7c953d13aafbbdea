#include "database/country_references.h"

#include <cstdint>
#include <string>

#include "database/database_rewrite.h"
#include "database/line_rewriting.h"
#include "database/section_state.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"

namespace {

constexpr int kFirstCountry = 1;
constexpr int kLastCountry = 206;

// These four keep their backups under a second name, which leaves the plain
// backups of 34 and 41 made by the file exchange in place.
bool HasTmpBackup(int number) { return number == 34 || number == 35 || number == 41 || number == 50; }

// True at the record lines that hold a country id: 103 and 105 of a club,
// 7 and 8 of a player.
bool IsCountryIdLine(SectionState state, std::uint64_t recordLine) {
  if (state == Club) return recordLine == 103 || recordLine == 105;
  if (state == Player) return recordLine == 7 || recordLine == 8;
  return false;
}

void SwapIdsInRecords() {
  SectionState state = NoSection;
  std::uint64_t recordLine = 0;
  while (ReadSharedLine(sharedLineBuffer)) {
    const std::string& line = sharedLineBuffer;
    if (BeginsWith(line, "%INDEX%CLUB")) {
      state = Club;
      recordLine = 0;
    } else if (BeginsWith(line, "%INDEXEND%CLUB")) {
      state = NoSection;
    } else if (BeginsWith(line, "%INDEX%PLAYER")) {
      state = Player;
      recordLine = 0;
    } else if (BeginsWith(line, "%INDEXEND%PLAYER")) {
      state = NoSection;
    } else if (state == Club || state == Player) {
      ++recordLine;
    }
    if (IsCountryIdLine(state, recordLine)) {
      if (sharedLineBuffer == "34") {
        sharedLineBuffer = "41";
      } else if (sharedLineBuffer == "41") {
        sharedLineBuffer = "34";
      }
    }
    WriteSharedLine(sharedLineBuffer);
  }
}

}  // namespace

void SwapCountryReferences() {
  for (int number = kFirstCountry; number <= kLastCountry; ++number) {
    const std::string baseName = "country" + std::to_string(number);
    const std::string backupName = baseName + (HasTmpBackup(number) ? "_tmp.sav" : ".sav");
    RunShell("move database\\" + baseName + ".sav database\\bak\\" + backupName);
    PrintProgressDot();
    if (OpenDatabaseRewrite("database/bak/" + backupName, "database/" + baseName + ".sav")) SwapIdsInRecords();
    CloseStepFiles();
  }
}
