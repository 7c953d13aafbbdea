#include "database/country_databases.h"

#include <cstring>
#include <iostream>

#include "database/country_references.h"
#include "database/database_rewrite.h"
#include "database/line_rewriting.h"
#include "database/section_state.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"
#include "platform/files.h"
#include "platform/rename.h"

const TransferPass kPass41To34 = {
    "database/bak/country41.sav", "database/country34.sav", "29", "22", ",29", ",22",
    "{ 41, ", "{ 34, ", "GET_POOL, {41, POOL, 0}", "GET_POOL, {34, POOL, 0}",
};
const TransferPass kPass34To41 = {
    "database/bak/country34.sav", "database/country41.sav", "22", "29", ",22", ",29",
    "{ 34, ", "{ 41, ", "GET_POOL, {34, POOL, 0}", "GET_POOL, {41, POOL, 0}",
};

namespace {

const char kLive34[] = "database/country34.sav";
const char kLive41[] = "database/country41.sav";
const char kBackup34[] = "database/bak/country34.sav";
const char kBackup41[] = "database/bak/country41.sav";

// The section that `line` leaves the file in, coming from `state`.  Section
// markers are whole lines, except the club markers, which are prefixes; the
// teams markers count only inside a competition.
SectionState NextSection(const std::string& line, SectionState state) {
  if (line.empty() || line[0] != '%') return state;  // every marker begins with '%'
  if (line == "%INDEX%COMPETITIONPART") return CompetitionPart;
  if (line == "%INDEXEND%COMPETITIONPART") return NoSection;
  if (line == "%INDEX%COMPETITION") return Competition;
  if (line == "%INDEXEND%COMPETITION") return NoSection;
  if (state == Competition && line == "%INDEX%TEAMS") return Teams;
  if (state == Teams && line == "%INDEXEND%TEAMS") return Competition;
  if (BeginsWith(line, "%INDEX%CLUB")) return Club;
  if (BeginsWith(line, "%INDEXEND%CLUB")) return NoSection;
  return state;
}

// Overwrites the first characters of `line` with `newText` when they are
// `oldText` (both of the same length); true when it did.
bool ReplacePrefix(std::string& line, const char* oldText, const char* newText) {
  if (!BeginsWith(line, oldText)) return false;
  std::memcpy(&line[0], newText, std::strlen(newText));
  return true;
}

// Replaces every occurrence of `oldText` in `line` by `newText` (same
// length).  The new code never forms the old one, not even together with
// the characters around it, so going on after each replacement finds the
// same occurrences as searching again from the first character would.
void ReplaceAll(std::string& line, const char* oldText, const char* newText) {
  const std::size_t length = std::strlen(oldText);
  for (std::size_t at = line.find(oldText); at != std::string::npos; at = line.find(oldText, at + length)) {
    std::memcpy(&line[at], newText, length);
  }
}

void RewriteLine(std::string& line, SectionState state, const TransferPass& pass) {
  if (state == CompetitionPart) {
    ReplacePrefix(line, pass.oldLeadingCode, pass.newLeadingCode);
  } else if (state == Competition) {
    ReplacePrefix(line, pass.oldCompetitionPrefix, pass.newCompetitionPrefix);
  } else if (state == Teams) {
    if (ReplacePrefix(line, pass.oldLeadingCode, pass.newLeadingCode)) {
      ReplaceAll(line, pass.oldInnerCode, pass.newInnerCode);
    }
  }
  ReplacePrefix(line, pass.oldPoolPrefix, pass.newPoolPrefix);
}

void Warn(const std::string& message) {
  std::cout.flush();
  std::cerr << "vandoril-patch: " << message << "\n";
}

// Moves a database that went to its backup back to its place.
void PutBack(const char* backup, const char* live) {
  if (RenameNoReplace(backup, live) == 0) return;
  FailStep(("vandoril-patch: \"" + std::string(backup) + "\" could not be moved back to \"" + live +
            "\". The patch stopped here and removed no backup.\n")
               .c_str());
}

}  // namespace

void TransferCountryFile(const TransferPass& pass) {
  if (OpenDatabaseRewrite(pass.fileRead, pass.fileWritten)) {
    SectionState state = NoSection;
    while (ReadSharedLine(sharedLineBuffer)) {
      state = NextSection(sharedLineBuffer, state);
      RewriteLine(sharedLineBuffer, state, pass);
      WriteSharedLine(sharedLineBuffer);
    }
  }
  CloseStepFiles();
}

void SwapCountryDatabases() {
  const bool had34 = PathExists(kLive34);
  const bool had41 = PathExists(kLive41);
  RunShell("move database\\country34.sav database\\bak\\country34.sav");
  RunShell("move database\\country41.sav database\\bak\\country41.sav");
  const bool stuck34 = PathExists(kLive34);
  const bool stuck41 = PathExists(kLive41);

  PrintProgressDot();
  if (stuck34 || stuck41) {
    // Exchanging only one of the two files would lose the other country's
    // database, so neither is rewritten.
    if (had34 && !stuck34) PutBack(kBackup34, kLive34);
    if (had41 && !stuck41) PutBack(kBackup41, kLive41);
    const char* const unexchanged = "; the databases of country 34 and country 41 were left as they were.";
    if (stuck34) Warn("\"" + std::string(kLive34) + "\" could not be moved to \"" + kBackup34 + "\"" + unexchanged);
    if (stuck41) Warn("\"" + std::string(kLive41) + "\" could not be moved to \"" + kBackup41 + "\"" + unexchanged);
    PrintProgressDot();
  } else {
    TransferCountryFile(kPass41To34);
    PrintProgressDot();
    TransferCountryFile(kPass34To41);
  }
  SwapCountryReferences();
}
