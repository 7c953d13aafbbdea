#include "installer/run_journal.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/durable_files.h"
#include "platform/files.h"

const char kJournalFile[] = "vandoril_06.journal";

namespace {

const char kJournalDraft[] = "vandoril_06.journal.new";
const char kInstall[] = "install ";
const char kUninstall[] = "uninstall ";
const char kSteps[] = "steps";
const char kRemovingBackups[] = "removing backups";
const char kAbsent[] = "absent";

std::string Format(const RunJournal& journal) {
  std::string text = journal.uninstall ? kUninstall : kInstall;
  text += journal.phase == StepsPhase ? kSteps : kRemovingBackups;
  text += "\n";
  if (!journal.absent.empty()) {
    text += kAbsent;
    for (const std::string& name : journal.absent) text += " " + name;
    text += "\n";
  }
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

bool JournalExists() { return PathExists(kJournalFile); }

bool ReadJournal(RunJournal& journal) {
  std::ifstream file(kJournalFile, std::ios::binary);
  std::string first, second, rest;
  if (!std::getline(file, first)) return false;
  if (std::getline(file, second) && std::getline(file, rest)) return false;  // more than two lines
  if (file.bad()) return false;

  journal = RunJournal();
  if (StartsWith(first, kInstall)) {
    first.erase(0, sizeof kInstall - 1);
  } else if (StartsWith(first, kUninstall)) {
    journal.uninstall = true;
    first.erase(0, sizeof kUninstall - 1);
  } else {
    return false;
  }
  if (first == kRemovingBackups) {
    journal.phase = RemovingBackupsPhase;
  } else if (first != kSteps) {
    return false;
  }
  if (second.empty()) return true;
  std::istringstream names(second);
  std::string word;
  if (!(names >> word) || word != kAbsent) return false;
  while (names >> word) journal.absent.push_back(word);
  return true;
}

bool WriteJournal(const RunJournal& journal) {
  errno = 0;
  std::ofstream draft(kJournalDraft, std::ios::binary | std::ios::trunc);
  if (!draft.is_open()) return false;
  draft << Format(journal);
  draft.close();
  bool written = !draft.fail();
  if (!written && errno == 0) errno = EIO;
  written = written && SyncFile(kJournalDraft) && MoveReplacing(kJournalDraft, kJournalFile);
  if (!written) {
    const int error = errno;
    RemoveJournalDraft();
    errno = error;
    return false;
  }
  return SyncDirectory(".");
}

bool DeleteJournal() { return RemoveFileForced(kJournalFile); }

void RemoveJournalDraft() {
  if (PathExists(kJournalDraft)) RemoveFileForced(kJournalDraft);
}
