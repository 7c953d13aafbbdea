#include "database/country_databases.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "database/country_references.h"
#include "database/database_rewrite.h"
#include "database/line_stream.h"
#include "database/section_state.h"
#include "installer/run_shell.h"
#include "installer/shared_state.h"

const TransferPass kPass41To34 = {
    "database/bak/country41.sav", "database/country34.sav", "database/bak/country34.sav", "29", "22", ",29", ",22",
    "{ 41, ", "{ 34, ", "GET_POOL, {41, POOL, 0}", "GET_POOL, {34, POOL, 0}",
};
const TransferPass kPass34To41 = {
    "database/bak/country34.sav", "database/country41.sav", "database/bak/country41.sav", "22", "29", ",22", ",29",
    "{ 34, ", "{ 41, ", "GET_POOL, {34, POOL, 0}", "GET_POOL, {41, POOL, 0}",
};

namespace {

// The section that a line leaves the file in, coming from `state`.  Section
// markers are whole lines, except the club markers, which are prefixes; the
// teams markers count only inside a competition.
SectionState NextSection(const char* line, std::size_t size, SectionState state) {
  if (size == 0 || line[0] != '%') return state;  // every marker begins with '%'
  if (LineIs(line, size, "%INDEX%COMPETITIONPART")) return CompetitionPart;
  if (LineIs(line, size, "%INDEXEND%COMPETITIONPART")) return NoSection;
  if (LineIs(line, size, "%INDEX%COMPETITION")) return Competition;
  if (LineIs(line, size, "%INDEXEND%COMPETITION")) return NoSection;
  if (state == Competition && LineIs(line, size, "%INDEX%TEAMS")) return Teams;
  if (state == Teams && LineIs(line, size, "%INDEXEND%TEAMS")) return Competition;
  if (LineBeginsWith(line, size, "%INDEX%CLUB")) return Club;
  if (LineBeginsWith(line, size, "%INDEXEND%CLUB")) return NoSection;
  return state;
}

// The lengths of the texts of a pass.
constexpr std::size_t kLeadingCodeLength = 2;
constexpr std::size_t kInnerCodeLength = 3;
constexpr std::size_t kCompetitionPrefixLength = 6;
constexpr std::size_t kPoolPrefixLength = 23;

// Overwrites the first `length` characters of the line with `newText` when
// they are `oldText`; true when it did.
bool ReplacePrefix(char* line, std::size_t size, const char* oldText, const char* newText, std::size_t length) {
  if (size < length || std::memcmp(line, oldText, length) != 0) return false;
  std::memcpy(line, newText, length);
  return true;
}

// Replaces every occurrence of the inner code in the line.  The new code never
// forms the old one, not even together with the characters around it, so
// going on after each replacement finds the same occurrences as searching
// again from the first character would.
void ReplaceInnerCodes(char* line, std::size_t size, const TransferPass& pass) {
  char* const end = line + size;
  for (char* at = line; end - at >= static_cast<std::ptrdiff_t>(kInnerCodeLength);) {
    at = static_cast<char*>(std::memchr(at, pass.oldInnerCode[0], end - at - (kInnerCodeLength - 1)));
    if (at == nullptr) return;
    if (std::memcmp(at, pass.oldInnerCode, kInnerCodeLength) == 0) {
      std::memcpy(at, pass.newInnerCode, kInnerCodeLength);
      at += kInnerCodeLength;
    } else {
      ++at;
    }
  }
}

void RewriteLine(char* line, std::size_t size, SectionState state, const TransferPass& pass) {
  if (state == CompetitionPart) {
    ReplacePrefix(line, size, pass.oldLeadingCode, pass.newLeadingCode, kLeadingCodeLength);
  } else if (state == Competition) {
    ReplacePrefix(line, size, pass.oldCompetitionPrefix, pass.newCompetitionPrefix, kCompetitionPrefixLength);
  } else if (state == Teams) {
    if (ReplacePrefix(line, size, pass.oldLeadingCode, pass.newLeadingCode, kLeadingCodeLength)) {
      ReplaceInnerCodes(line, size, pass);
    }
  }
  ReplacePrefix(line, size, pass.oldPoolPrefix, pass.newPoolPrefix, kPoolPrefixLength);
}

}  // namespace

void TransferCountryFile(const TransferPass& pass) {
  OpenDatabaseRewrite(pass.fileRead, pass.fileWritten, pass.fileWrittenBackup);
  SectionState state = NoSection;
  StreamSharedLines('%', [&](char* line, std::size_t size, std::uint64_t) {
    state = NextSection(line, size, state);
    RewriteLine(line, size, state, pass);
    return kEveryLine;
  });
  CloseStepFiles();
}

void SwapCountryDatabases() {
  RunShell("move database\\country34.sav database\\bak\\country34.sav");
  const int error34 = errno;
  RunShell("move database\\country41.sav database\\bak\\country41.sav");
  const int error41 = errno;
  // Exchanging only one of the two files would lose the other country's
  // database, so a database that stayed in place fails the run.
  FailIfNotMoved(kPass41To34.fileWritten, kPass41To34.fileWrittenBackup, error34);
  FailIfNotMoved(kPass34To41.fileWritten, kPass34To41.fileWrittenBackup, error41);
  PrintProgressDot();
  TransferCountryFile(kPass41To34);
  PrintProgressDot();
  TransferCountryFile(kPass34To41);
  SwapCountryReferences();
}
