#include "installer/run_journal.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "installer/roll_back.h"
#include "platform/durable_files.h"
#include "platform/files.h"

const char kJournalFile[] = "vandoril_06.journal";

namespace {

const char kJournalDraft[] = "vandoril_06.journal.new";
const char* const kFirstLines[] = {"install steps", "install removing backups", "uninstall steps",
                                   "uninstall removing backups"};
const char kCreated[] = "created";
const char kChecksum[] = "checksum ";
// Far more than the longest journal (every name a run may create), so that
// a file of any size is never read whole.
constexpr std::size_t kMaxJournalSize = 16 * 1024;

// CRC-32 (the polynomial of zip and PNG), bit by bit: journals are small.
std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string ChecksumLine(const std::string& lines) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(Crc32(lines)));
  return kChecksum + std::string(digits) + "\n";
}

// Splits `text` at LF into lines; false when the last line has no LF.
bool SplitLines(const std::string& text, std::vector<std::string>& lines) {
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return start == text.size();
}

// Reads the names of a "created" line into `created`: words separated by
// single blanks, each a file a run may create, none twice.
bool ParseCreated(const std::string& line, std::vector<std::string>& created) {
  if (line.compare(0, sizeof kCreated - 1, kCreated) != 0) return false;
  const std::vector<std::string> known = FilesTheRunChanges();
  std::size_t at = sizeof kCreated - 1;
  if (at == line.size()) return false;  // the line is left out when nothing was created
  while (at < line.size()) {
    if (line[at] != ' ') return false;
    const std::size_t end = std::min(line.find(' ', at + 1), line.size());
    const std::string name = line.substr(at + 1, end - at - 1);
    if (std::find(known.begin(), known.end(), name) == known.end()) return false;
    if (std::find(created.begin(), created.end(), name) != created.end()) return false;
    created.push_back(name);
    at = end;
  }
  return true;
}

}  // namespace

std::string FormatJournal(const RunJournal& journal) {
  std::string text = kFirstLines[(journal.uninstall ? 2 : 0) + (journal.phase == StepsPhase ? 0 : 1)];
  text += "\n";
  if (!journal.created.empty()) {
    text += kCreated;
    for (const std::string& name : journal.created) text += " " + name;
    text += "\n";
  }
  return text + ChecksumLine(text);
}

bool ParseJournal(const std::string& text, RunJournal& journal) {
  std::vector<std::string> lines;
  if (!SplitLines(text, lines) || lines.size() < 2 || lines.size() > 3) return false;
  const std::size_t checked = text.size() - lines.back().size() - 1;
  if (lines.back() + "\n" != ChecksumLine(text.substr(0, checked))) return false;

  RunJournal parsed;
  const auto first = std::find(std::begin(kFirstLines), std::end(kFirstLines), lines[0]);
  if (first == std::end(kFirstLines)) return false;
  const auto index = first - std::begin(kFirstLines);
  parsed.uninstall = index >= 2;
  parsed.phase = index % 2 == 0 ? StepsPhase : RemovingBackupsPhase;
  if (lines.size() == 3 && !ParseCreated(lines[1], parsed.created)) return false;
  journal = parsed;
  return true;
}

bool JournalExists() { return PathExists(kJournalFile); }

bool ReadJournal(RunJournal& journal) {
  // The program writes the journal as a plain file, never a link or folder.
  if (!IsPlainFile(kJournalFile) || IsLink(kJournalFile)) return false;
  std::ifstream file(kJournalFile, std::ios::binary);
  std::string text(kMaxJournalSize + 1, '\0');
  file.read(&text[0], static_cast<std::streamsize>(text.size()));
  if (file.bad() || file.gcount() <= 0 || static_cast<std::size_t>(file.gcount()) > kMaxJournalSize) return false;
  text.resize(static_cast<std::size_t>(file.gcount()));
  return ParseJournal(text, journal);
}

bool WriteJournal(const RunJournal& journal) {
  errno = 0;
  std::ofstream draft(kJournalDraft, std::ios::binary | std::ios::trunc);
  if (!draft.is_open()) return false;
  draft << FormatJournal(journal);
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
