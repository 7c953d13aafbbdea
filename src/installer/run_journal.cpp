#include "installer/run_journal.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "installer/crc32.h"
#include "installer/game_files.h"
#include "platform/brief_holds.h"
#include "platform/durable_files.h"
#include "platform/files.h"

const char kJournalFile[] = "vandoril_06.journal";

namespace {

const char kJournalDraft[] = "vandoril_06.journal.new";
const char* const kFirstLines[] = {"install steps", "install removing backups", "uninstall steps",
                                   "uninstall removing backups"};
const char kCreated[] = "created";
const char kWritten[] = "written";
const char kChecksum[] = "checksum ";
// Far more than the longest journal (every name a run may create), so that
// a file of any size is never read whole.
constexpr std::size_t kMaxJournalSize = 16 * 1024;

std::string Hex(std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(value));
  return digits;
}

std::string ChecksumLine(const std::string& lines) { return kChecksum + Hex(Crc32(lines.data(), lines.size())) + "\n"; }

// Splits `text` at LF into lines; false when the last line has no LF.
bool SplitLines(const std::string& text, std::vector<std::string>& lines) {
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return start == text.size();
}

// The words after `keyword` on `line`, each after a single blank; false when
// the line does not begin so or has no word (such a line is left out).
bool Words(const std::string& line, const char* keyword, std::vector<std::string>& words) {
  const std::size_t length = std::strlen(keyword);
  if (line.compare(0, length, keyword) != 0 || line.size() == length) return false;
  for (std::size_t at = length, end; at < line.size(); at = end) {
    if (line[at] != ' ') return false;
    end = std::min(line.find(' ', at + 1), line.size());
    words.push_back(line.substr(at + 1, end - at - 1));
  }
  return true;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Reads the names of a "created" line into `created`: each a file a run may
// create, none twice.
bool ParseCreated(const std::string& line, std::vector<std::string>& created) {
  const std::vector<std::string> known = FilesTheRunChanges();
  std::vector<std::string> words;
  if (!Words(line, kCreated, words)) return false;
  for (const std::string& name : words) {
    if (!Contains(known, name) || Contains(created, name)) return false;
    created.push_back(name);
  }
  return true;
}

// True when `text` is 1 to `digits` characters of `alphabet`, as written: a
// number of more than one digit without leading zeros unless it has `digits`.
bool IsNumber(const std::string& text, std::size_t digits, const char* alphabet) {
  return !text.empty() && text.size() <= digits && text.find_first_not_of(alphabet) == std::string::npos &&
         (text.size() == 1 || text.size() == digits || text[0] != '0');
}

// Reads a "written" line into `written`: name, decimal size and CRC-32 in
// eight lowercase hex digits, for created files only, each once.
bool ParseWritten(const std::string& line, const std::vector<std::string>& created, std::vector<WrittenFile>& written) {
  std::vector<std::string> words, names;
  if (!Words(line, kWritten, words) || words.size() % 3 != 0) return false;
  for (std::size_t i = 0; i < words.size(); i += 3) {
    if (!Contains(created, words[i]) || Contains(names, words[i])) return false;
    if (!IsNumber(words[i + 1], 19, "0123456789") || words[i + 2].size() != 8 || !IsNumber(words[i + 2], 8, "0123456789abcdef")) {
      return false;
    }
    names.push_back(words[i]);
    written.push_back({words[i], std::stoull(words[i + 1]), static_cast<std::uint32_t>(std::stoul(words[i + 2], nullptr, 16))});
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
  if (!journal.written.empty()) {
    text += kWritten;
    for (const WrittenFile& file : journal.written) text += " " + file.name + " " + std::to_string(file.size) + " " + Hex(file.crc);
    text += "\n";
  }
  return text + ChecksumLine(text);
}

bool ParseJournal(const std::string& text, RunJournal& journal) {
  std::vector<std::string> lines;
  if (!SplitLines(text, lines) || lines.size() < 2 || lines.size() > 4) return false;
  const std::size_t checked = text.size() - lines.back().size() - 1;
  if (lines.back() + "\n" != ChecksumLine(text.substr(0, checked))) return false;

  RunJournal parsed;
  const auto first = std::find(std::begin(kFirstLines), std::end(kFirstLines), lines[0]);
  if (first == std::end(kFirstLines)) return false;
  const auto index = first - std::begin(kFirstLines);
  parsed.uninstall = index >= 2;
  parsed.phase = index % 2 == 0 ? StepsPhase : RemovingBackupsPhase;
  // The "written" line, when there is one, follows a "created" line.
  if (lines.size() >= 3 && !ParseCreated(lines[1], parsed.created)) return false;
  if (lines.size() == 4 && !ParseWritten(lines[2], parsed.created, parsed.written)) return false;
  journal = parsed;
  return true;
}

JournalRead ReadJournal(RunJournal& journal) {
  const PathLookup found = LookUp(kJournalFile);
  if (found.state != PathPresent) return errno = found.state == PathAbsent ? ENOENT : found.error, JournalUnreadable;
  // The program writes the journal as a plain file, never a link or folder.
  if (found.kind != PlainFile) return JournalForeign;
  std::ifstream file;  // a scanner may hold the journal for a moment
  errno = 0;
  if (!OpenedWhileHeld([&] { return file.open(kJournalFile, std::ios::binary), file.is_open(); })) {
    if (errno == 0) errno = EIO;
    return JournalUnreadable;
  }
  std::string text(kMaxJournalSize + 1, '\0');
  file.read(&text[0], static_cast<std::streamsize>(text.size()));
  if (file.bad()) return errno = errno != 0 ? errno : EIO, JournalUnreadable;
  if (file.gcount() <= 0 || static_cast<std::size_t>(file.gcount()) > kMaxJournalSize) return JournalForeign;
  text.resize(static_cast<std::size_t>(file.gcount()));
  return ParseJournal(text, journal) ? JournalFollowed : JournalForeign;
}

JournalWrite WriteJournal(const RunJournal& journal) {
  errno = 0;
  std::ofstream draft;
  OpenedWhileHeld([&] { return draft.open(kJournalDraft, std::ios::binary | std::ios::trunc), draft.is_open(); });
  if (!draft.is_open()) return JournalNotWritten;
  draft << FormatJournal(journal);
  draft.close();
  bool written = !draft.fail();
  if (!written && errno == 0) errno = EIO;
  written = written && SyncFile(kJournalDraft) && MoveReplacing(kJournalDraft, kJournalFile);
  if (!written) {
    const int error = errno;
    // A draft that is gone went in place of the journal, whatever the move
    // said; one that cannot be looked up may have gone.
    const bool stayed = LookUp(kJournalDraft).state == PathPresent;
    RemoveFileForced(kJournalDraft);  // a draft left over is deleted with the journal
    errno = error;
    return stayed ? JournalNotWritten : JournalUncertain;
  }
  return SyncDirectory(".") ? JournalWritten : JournalUncertain;
}

bool DeleteJournal() { return RemoveFileForced(kJournalDraft) && RemoveFileForced(kJournalFile); }
