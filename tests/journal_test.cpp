// The run journal is followed only when this program wrote it for a run of
// its own, and a run begins only when it could be undone: a journal that
// lies, a folder the run cannot see into or a text file that text mode would
// cut short never cost a byte, in the game folder or beside it.
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "installer/roll_back.h"
#include "installer/run_journal.h"
#include "test_support.h"

namespace fs = std::filesystem;
using std::string_literals::operator""s;

namespace {

const char kJournal[] = "vandoril_06.journal";
const std::string kSmallGame[] = {"--archive-kib", "8", "--database-kib", "1"};

// An install's journal with a matching checksum, listing `absent`.
std::string Journal(const std::vector<std::string>& absent) {
  RunJournal journal;
  journal.absent = absent;
  return FormatJournal(journal);
}

using JournalTest = BothBuildsTest;
INSTANTIATE_FOR_BOTH_BUILDS(JournalTest);

// Journals that the program did not write are refused whole: nothing in the
// folder or beside it changes, the run ends with status 1 after a pause.
TEST_P(JournalTest, AJournalThisProgramDidNotWriteIsRefused) {
  const std::string game = dir_ + "/game", victim = dir_ + "/victim.txt";
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(game, {kSmallGame, kSmallGame + 4}));
  const std::string valid = Journal({"vandoril_06.dontdelete"});
  const std::string journals[] = {
      "install steps\nabsent ../victim.txt\n", Journal({}) + "absent ../victim.txt\n",
      "install steps\nabsent " + victim + "\n", "install steps\nabsent ..\\victim.txt\n",
      "install steps\nabsent art_01.big editor.exe\n", "uninstall steps\nabsent database/country5.sav database/countries.sav\n",
      "install steps\nabsent art_02.big art_02.big\n", "install steps\nabsent art_03.big\0\xFF"s,
      "", "\x7F\x45\x4C\x46\0\0\xFF"s, "install steps\n", "install step\n" + valid.substr(valid.find('\n') + 1),
      valid.substr(0, valid.size() - 2) + "0\n",                                   // the checksum does not match
      "install steps\nabsent\tart_01.big\n" + valid.substr(valid.rfind("checksum")),  // a tab
      valid + valid.substr(valid.rfind("checksum")),                                 // a fourth line
      Journal({"art_01.big", "art_01.big"}), Journal({"../victim.txt"}), Journal({victim}),
      Journal({"art_01.big\0x"s}), Journal({"art_01.big", ""}), Journal({std::string(20000, 'a')}),
      valid.substr(0, valid.size() - 1), "<dir>", "<link>",
  };
  for (const std::string& journal : journals) {
    SCOPED_TRACE(::testing::PrintToString(journal.substr(0, 80)));
    WriteFile(victim, "not the game's");
    if (journal == "<dir>") {
      fs::create_directory(game + "/" + kJournal);
    } else if (journal == "<link>") {
      if (buildUnderTest == kWindowsBuild) continue;  // Wine shows a Unix link as the file it points to
      WriteFile(dir_ + "/elsewhere", valid);
      fs::create_symlink(dir_ + "/elsewhere", game + "/" + kJournal);
    } else {
      WriteFile(game + "/" + kJournal, journal);
    }
    const FolderContent before = Snapshot(game);
    const RunResult run = RunPatch(game);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("\"vandoril_06.journal\" is not a journal of this patch"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Press any key"), std::string::npos);
    EXPECT_TRUE(Snapshot(game) == before);
    EXPECT_EQ(ReadFile(victim), "not the game's");
    fs::remove_all(game + "/" + kJournal);
  }
  // The same folder with a journal the program wrote is repaired.
  WriteFile(game + "/" + kJournal, valid);
  const RunResult repair = RunPatch(game);
  EXPECT_EQ(repair.exitStatus, 0) << repair.err;
  EXPECT_FALSE(Exists(game + "/" + kJournal));
}

// Folders on which a run could not tell the truth in its journal or could
// not be undone: each is refused or undone with status 1 and nothing lost;
// once the player has put it right, an install and an uninstall go through
// and give every file back.
TEST_P(JournalTest, AFolderARunCouldNotUndoIsRefusedOrUndoneAndThenWorks) {
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_ + "/game", {kSmallGame, kSmallGame + 4}));
  fs::current_path(dir_ + "/game");
  const FolderContent pristine = Snapshot(".");
  const std::string db5 = ReadFile("database/country5.sav");
  const fs::perms folder = fs::status("database").permissions();
  const auto setAside = [](const char* path) { fs::rename(path, "../aside"), fs::create_directory(path); };
  const auto putBack = [](const char* path) { fs::remove_all(path), fs::rename("../aside", path); };
  const struct {
    std::function<void()> spoil, mend;
    std::string message;
    bool unprivileged = false;
  } rows[] = {
      {[] { fs::permissions("database", fs::perms::none); },
       [&] { fs::permissions("database", folder); },
       "the folder \"database\" cannot be listed and written (access is denied", true},
      {[] { fs::rename("database", "../aside"), WriteFile("database", "a file"); }, [&] { putBack("database"); },
       "\"database\" is not a folder. Nothing was changed"},
      {[&] { setAside("art_02.big"); }, [&] { putBack("art_02.big"); }, "\"art_02.big\" is a folder, not a file"},
      {[&] { setAside("script/Results.txt"); }, [&] { putBack("script/Results.txt"); },
       "\"script/Results.txt\" is a folder, not a file"},
      {[&] { WriteFile("database/country5.sav", "a\x1A" + db5); }, [&] { WriteFile("database/country5.sav", db5); },
       "\"database/country5.sav\" holds the byte Ctrl-Z (0x1A) at offset 1 with more bytes after it"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    row.spoil();
    const FolderContent spoilt = Snapshot(".");
    // The superuser reads any folder: the program runs as another user then
    // (natively; Wine runs only for the owner of its prefix).
    const bool asUser = row.unprivileged && geteuid() == 0;
    if (asUser && buildUnderTest == kWindowsBuild) {
      row.mend();
      continue;
    }
    if (asUser) {
      ASSERT_EQ(std::system("chown -R 65534:65534 ."), 0);
    }
    const RunResult run = asUser ? RunProgram("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                          VANDORIL_PATCH_EXE}, ".")
                                 : RunPatch(".");
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_TRUE(Snapshot(".") == spoilt);
    row.mend();
    EXPECT_EQ(RunPatch(".").exitStatus, 0);
    EXPECT_EQ(RunPatch(".", {"/uninstall"}).exitStatus, 0);
    EXPECT_TRUE(Snapshot(".") == pristine);
  }
}

// Random bytes and damaged real journals never crash the reader, and what it
// accepts names only files that a run may create, each once.
TEST(JournalReader, AcceptsOnlyWhatThisProgramWrites) {
  const std::vector<std::string> known = FilesTheRunChanges();
  std::mt19937 random(12);
  for (int round = 0; round < 20000; ++round) {
    RunJournal written;
    written.uninstall = random() % 2;
    written.phase = random() % 2 ? StepsPhase : RemovingBackupsPhase;
    for (const std::string& file : known) {
      if (random() % 40 == 0) written.absent.push_back(file);
    }
    std::string text = FormatJournal(written);
    RunJournal read;
    ASSERT_TRUE(ParseJournal(text, read));
    ASSERT_TRUE(read.uninstall == written.uninstall && read.phase == written.phase && read.absent == written.absent);
    if (round % 2 == 0) {
      text[random() % text.size()] = static_cast<char>(random());
    } else {
      text.resize(random() % 64);
      for (char& c : text) c = "absent art_01.big\n\0\x1A."[random() % 20];
    }
    if (!ParseJournal(text, read)) continue;
    std::set<std::string> names(read.absent.begin(), read.absent.end());
    ASSERT_EQ(names.size(), read.absent.size());
    for (const std::string& name : read.absent) ASSERT_NE(std::find(known.begin(), known.end(), name), known.end());
  }
}

}  // namespace
