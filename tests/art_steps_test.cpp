// The artwork archive steps in a game folder: file handling, the bytes written
// and the dots printed.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archives/art_steps.h"
#include "installer/shared_state.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

namespace fs = std::filesystem;

struct StepRun {
  std::string archive;  // the archive after the step
  std::string printed;  // standard output
};

// Writes `content` under `archive`, runs `step` and reads the archive back.
StepRun RunStep(void (*step)(), const std::string& archive, const std::string& content) {
  WriteFile(archive, content);
  testing::internal::CaptureStdout();
  step();
  StepRun run;
  run.printed = testing::internal::GetCapturedStdout();
  run.archive = ReadFile(archive);
  return run;
}

struct Case {
  std::string before;
  std::string after;
  std::size_t replacements;
};

// Runs each case in turn, removing the backup of the one before, the way a
// complete run removes its backups.
void ExpectCases(void (*step)(), const std::string& archive, const std::string& backup,
                 const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    fs::remove(backup);
    const StepRun run = RunStep(step, archive, c.before);
    EXPECT_EQ(run.archive, c.after) << "from \"" << c.before << "\"";
    EXPECT_EQ(run.printed, std::string(1 + c.replacements, '.')) << "from \"" << c.before << "\"";
    EXPECT_EQ(ReadFile(backup), c.before) << "the backup holds the previous archive";
    EXPECT_FALSE(sharedInput.is_open() || sharedOutput.is_open());
    EXPECT_TRUE(sharedInput.good() && sharedOutput.good());
  }
}

using ArtStepTest = GameFolderTest;

TEST_F(ArtStepTest, Art01ExchangesCountryIdsWhereverTheyStand) {
  ExpectCases(PatchArt01, "art_01.big", "art_01.bak",
              {{"", "", 0},
               {"img41.tga", "img34.tga", 1},
               {"g410", "g340", 1},
               {"country_410", "country_340", 1},
               {"country_34\0country34"s, "country_41\0country41"s, 2},
               {"ccountry41x", "ccountry34x", 1},
               {"gg34", "gg41", 1},
               {"country41g41", "country34g34", 2},
               {"abcount", "abcount", 0},
               {"abcg41", "abcg34", 1},
               {"abcountry41", "abcountry34", 1},
               {"Country41 G41 country_4 g4 country_ 41", "Country41 G41 country_4 g4 country_ 41", 0}});
}

TEST_F(ArtStepTest, ArchivesAreBinary) {
  std::string everyOtherByte;
  for (int b = 0; b < 256; ++b)
    if (b != 'c' && b != 'g') everyOtherByte += static_cast<char>(b);
  everyOtherByte += "\r\n\n\r\x1A\0 end"s;
  ExpectCases(PatchArt01, "art_01.big", "art_01.bak", {{everyOtherByte, everyOtherByte, 0}});
}

TEST_F(ArtStepTest, Art02ExchangesNamesAndChangesTheLength) {
  ExpectCases(PatchArt02, "art_02.big", "art_02.bak",
              {{"niederlande.tga", "sanmarino.tga", 1},
               {"sanmarino.tga", "niederlande.tga", 1},
               {"Niederlande. niederlande sanmarino SanMarino.", "Niederlande. niederlande sanmarino SanMarino.", 0},
               {"\0niederlande.niederlande.x"s, "\0sanmarino.sanmarino.x"s, 2},
               {"ssanmarino.nniederlande.", "sniederlande.nsanmarino.", 2}});
}

TEST_F(ArtStepTest, Art03ExchangesPathEndings) {
  ExpectCases(PatchArt03, "art_03.big", "art_03.bak",
              {{"flags\\41.tpi", "flags\\34.tpi", 1},
               {"flags\\34.tpi\\\\41.tpi", "flags\\41.tpi\\\\34.tpi", 2},
               {"/41.tpi \\41.tp \\41_tpi", "/41.tpi \\41.tp \\41_tpi", 0}});
}

TEST_F(ArtStepTest, EachStepUndoesItself) {
  std::mt19937 random(3);
  const std::vector<std::string> words = {"country_41", "country_34", "country41", "country34", "g41",
                                          "g34",        "sanmarino.", "niederlande.", "\\41.tpi", "\\34.tpi"};
  std::string archive;
  while (archive.size() < 200000)
    archive += random() % 8 == 0 ? words[random() % words.size()] : std::string(1, static_cast<char>(random()));
  const struct {
    void (*step)();
    const char* archive;
    const char* backup;
  } steps[] = {{PatchArt01, "art_01.big", "art_01.bak"},
               {PatchArt02, "art_02.big", "art_02.bak"},
               {PatchArt03, "art_03.big", "art_03.bak"}};
  for (const auto& s : steps) {
    const StepRun once = RunStep(s.step, s.archive, archive);
    EXPECT_NE(once.archive, archive) << s.archive;
    fs::remove(s.backup);
    testing::internal::CaptureStdout();
    s.step();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), once.printed) << s.archive;
    EXPECT_EQ(ReadFile(s.archive), archive) << s.archive;
  }
}

TEST_F(ArtStepTest, Art01ProgressDotAtTheMillionthPass) {
  // n plain bytes take n + 1 passes: the last read meets the end.
  ExpectCases(PatchArt01, "art_01.big", "art_01.bak",
              {{std::string(999999, 'x'), std::string(999999, 'x'), 1},
               {std::string(999998, 'x'), std::string(999998, 'x'), 0}});
}

TEST_F(ArtStepTest, AnExistingBackupIsTheInputAndStays) {
  WriteFile("art_01.bak", "old country41");
  const StepRun run = RunStep(PatchArt01, "art_01.big", "current country34");
  EXPECT_EQ(run.archive, "old country34");
  EXPECT_EQ(run.printed, "..");
  EXPECT_EQ(ReadFile("art_01.bak"), "old country41");
}

using ArtStepDeathTest = GameFolderTest;

TEST_F(ArtStepDeathTest, NeitherFileLeavesAnEmptyArchiveAndStops) {
  EXPECT_EXIT(PatchArt02(), testing::ExitedWithCode(1), "^error2!!!$");
  EXPECT_TRUE(Exists("art_02.big"));
  EXPECT_EQ(ReadFile("art_02.big"), "");
  EXPECT_FALSE(Exists("art_02.bak"));
}

TEST_F(ArtStepDeathTest, UnreadableBackupLeavesTheArchiveUntouched) {
  fs::create_directory("art_03.bak");
  WriteFile("art_03.big", "flags\\41.tpi");
  EXPECT_EXIT(PatchArt03(), testing::ExitedWithCode(1), "^error2!!!$");
  EXPECT_EQ(ReadFile("art_03.big"), "flags\\41.tpi");
}

// Through the program: a missing archive stops the run before the later steps.
TEST_F(ArtStepTest, MissingArchivesStopTheRun) {
  WriteFile("editor.exe", "");
  const RunResult result = RunPatch(dir_);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "error2!!!");
  EXPECT_EQ(result.out.substr(result.out.size() - 4), "...." ) << "the waiting line and one step's dot";
  EXPECT_EQ(ReadFile("art_01.big"), "");
  EXPECT_FALSE(Exists("art_02.big"));
  EXPECT_TRUE(Exists("vandoril_06.dontdelete"));
}

}  // namespace
