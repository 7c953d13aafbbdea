#include "database/country_list.h"

#include <array>
#include <cerrno>

#include "database/line_rewriting.h"
#include "installer/run_shell.h"
#include "installer/game_files.h"
#include "installer/messages.h"
#include "installer/run_control.h"
#include "installer/shared_state.h"
#include "platform/durable_files.h"
#include "platform/files.h"

namespace {

const char kList[] = "database/countries.sav";
const char kBackup[] = "database/bak/countries.sav";

const char kSanMarino[] = "San Marino";
const char kNetherlands[] = "Niederlande";

// A country's record: the line that begins with its name and the five lines
// after it, whatever they hold.
constexpr int kRecordLines = 6;
using Record = std::array<std::string, kRecordLines>;

// Reads the five lines that follow a record's first line into `record`; a
// line that the file does not supply, because it ends first, is empty.
void ReadRestOfRecord(Record& record) {
  for (int i = 1; i < kRecordLines; ++i) {
    if (!ReadSharedLine(record[i])) record[i].clear();
  }
}

// Reads the five lines that follow a record's first line and discards them.
void SkipRestOfRecord() {
  for (int i = 1; i < kRecordLines; ++i) ReadSharedLine(sharedScratchLine);
}

void WriteRecord(const Record& record) {
  for (const std::string& line : record) WriteSharedLine(line);
}

// One line on standard error saying why the records were not exchanged.
void WarnListLeftAsItWas(int sanMarinoCount, int netherlandsCount) {
  PrintWarning(CountryRecordsWrong(kList, sanMarinoCount, netherlandsCount));
}

}  // namespace

void PatchCountryList() {
  NoteFileToCreate("database");  // when it is missing, "md" below makes it
  RunShell("md database\\bak");
  // The folder must be on disk before files move into it: a move that reached
  // the disk without it would take them nowhere.
  const PathLookup backupFolder = LookUp("database/bak");
  if (backupFolder.state == PathUnknown) {
    FailRun(CannotTellWhetherExists(kBackupFolderAsShown) + Because(backupFolder.error), kTextStepError);
  }
  if (backupFolder.state == PathPresent && !SyncDirectory("database")) {
    FailRun(FolderNotWrittenToDisk(kDatabaseFolder) + Because(errno), kTextStepError);
  }
  PrintProgressDot();
  RunShell("move database\\countries.sav database\\bak\\countries.sav");
  const int moveError = errno;

  // The list may be rewritten only once its content lies in the backup: a
  // list still in place means the move failed (for instance because an
  // earlier run left a backup behind), and the list must stay as it is.
  FailIfNotMoved(kList, kBackup, moveError, kTextStepError);
  if (!OpenStepFiles(kBackup, kList)) FailRun(DescribeOpenFailure(), kTextStepError);

  // First pass: collect both records and count how often each occurs.
  Record sanMarino, netherlands;
  int sanMarinoCount = 0, netherlandsCount = 0;
  while (ReadSharedLine(sharedLineBuffer)) {
    Record* record = nullptr;
    if (BeginsWith(sharedLineBuffer, kSanMarino)) {
      record = &sanMarino;
      ++sanMarinoCount;
    } else if (BeginsWith(sharedLineBuffer, kNetherlands)) {
      record = &netherlands;
      ++netherlandsCount;
    }
    if (record != nullptr) {
      (*record)[0] = sharedLineBuffer;
      ReadRestOfRecord(*record);
    }
  }

  // Exchanging a missing or repeated record would drop a country from the
  // list, so then every line is written back as it is.
  const bool exchange = sanMarinoCount == 1 && netherlandsCount == 1;
  if (!exchange) WarnListLeftAsItWas(sanMarinoCount, netherlandsCount);

  // A read error stays set for CloseStepFiles() to report; otherwise start
  // again from the top.
  if (!sharedInput.bad()) {
    sharedInput.clear();
    sharedInput.seekg(0);
  }

  // Second pass: each record is written at the other's place.  Both passes
  // take the same five lines into a record, so they agree on its boundaries.
  while (ReadSharedLine(sharedLineBuffer)) {
    const Record* replacement = nullptr;
    if (exchange && BeginsWith(sharedLineBuffer, kSanMarino)) {
      replacement = &netherlands;
    } else if (exchange && BeginsWith(sharedLineBuffer, kNetherlands)) {
      replacement = &sanMarino;
    }
    if (replacement != nullptr) {
      PrintProgressDot();
      SkipRestOfRecord();
      WriteRecord(*replacement);
    } else {
      WriteSharedLine(sharedLineBuffer);
    }
  }
  CloseStepFiles();
}
