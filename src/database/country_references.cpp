#include "database/country_references.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "database/database_rewrite.h"
#include "database/line_stream.h"
#include "database/section_state.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"

namespace {

constexpr int kFirstCountry = 1;
constexpr int kLastCountry = 206;

// These four keep their backups under a second name, which leaves the plain
// backups of 34 and 41 made by the file exchange in place.
bool HasTmpBackup(int number) { return number == 34 || number == 35 || number == 41 || number == 50; }

// The state that a line beginning with '%' leads to: the record markers open
// or close a record (and an opening one sets `recordLine` to 0); any other
// such line counts as a record line like every other.
bool FollowMarker(const char* line, std::size_t size, SectionState& state, std::uint64_t& recordLine) {
  // "%INDEX%" opens a record and "%INDEXEND%" closes one: their seventh
  // characters differ, which spares testing every marker in turn.
  if (size > 6 && line[6] == '%') {
    if (LineBeginsWith(line, size, "%INDEX%CLUB")) {
      state = Club;
    } else if (LineBeginsWith(line, size, "%INDEX%PLAYER")) {
      state = Player;
    } else {
      return false;
    }
    recordLine = 0;
    return true;
  }
  if (LineBeginsWith(line, size, "%INDEXEND%CLUB") || LineBeginsWith(line, size, "%INDEXEND%PLAYER")) {
    state = NoSection;
    return true;
  }
  return false;
}

// True at the record lines of a club or player record that can hold a
// country id: 103 and 105 of a club, 7 and 8 of a player.
bool IsCountryIdLine(SectionState state, std::uint64_t recordLine) {
  if (state == Club) return recordLine == 103 || recordLine == 105;
  return recordLine == 7 || recordLine == 8;
}

// How many lines after record line `recordLine` come before the next one
// that can hold a country id: lines 103 and 105 of a club, 7 and 8 of a
// player.
std::uint64_t LinesBeforeNextIdLine(SectionState state, std::uint64_t recordLine) {
  const std::uint64_t next = state == Club     ? (recordLine < 103 ? 103 : recordLine < 105 ? 105 : 0)
                             : state == Player ? (recordLine < 7 ? 7 : recordLine < 8 ? 8 : 0)
                                               : 0;
  return next == 0 ? kNoLine : next - recordLine - 1;
}

void SwapIdsInRecords() {
  SectionState state = NoSection;
  std::uint64_t recordLine = 0;
  // Only the lines that begin with '%' (which may be markers) and those that
  // can hold an id are looked at; the lines passed over in a record count.
  StreamSharedLines('%', [&](char* line, std::size_t size, std::uint64_t passed) {
    if (state != NoSection) recordLine += passed;
    if (size != 0 && line[0] == '%' && FollowMarker(line, size, state, recordLine)) {
      return LinesBeforeNextIdLine(state, recordLine);
    }
    if (state == NoSection) return kNoLine;
    ++recordLine;
    if (size == 2 && IsCountryIdLine(state, recordLine)) {
      // A line that is "34" becomes "41" and one that is "41" becomes "34".
      if (line[0] == '3' && line[1] == '4') {
        std::memcpy(line, "41", 2);
      } else if (line[0] == '4' && line[1] == '1') {
        std::memcpy(line, "34", 2);
      }
    }
    return LinesBeforeNextIdLine(state, recordLine);
  });
}

}  // namespace

void SwapCountryReferences() {
  for (int number = kFirstCountry; number <= kLastCountry; ++number) {
    const std::string baseName = "country" + std::to_string(number);
    const std::string backupName = baseName + (HasTmpBackup(number) ? "_tmp.sav" : ".sav");
    const std::string live = "database/" + baseName + ".sav", backup = "database/bak/" + backupName;
    // A database still in place after a failed move is never written over.
    if (RunShell("move database\\" + baseName + ".sav database\\bak\\" + backupName) != 0) {
      FailIfNotMoved(live, backup, errno);
    }
    PrintProgressDot();
    OpenDatabaseRewrite(backup, live);
    SwapIdsInRecords();
    CloseStepFiles();
  }
}
