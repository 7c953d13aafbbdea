// The artwork archive steps in a game folder: backups, bytes, dots and failures.
#include <filesystem>

#include "archives/art_steps.h"
#include "test_support.h"

namespace {

std::string File(int step, const char* extension) { return "art_0" + std::to_string(step) + extension; }

// Writes `content` as archive `step`, runs its step, returns what it printed.
std::string RunStep(int step, const std::string& content) {
  WriteFile(File(step, ".big"), content);
  testing::internal::CaptureStdout();
  (step == 1 ? PatchArt01 : step == 2 ? PatchArt02 : PatchArt03)();
  return testing::internal::GetCapturedStdout();
}

using ArtStepTest = GameFolderTest;
using ArtStepDeathTest = GameFolderTest;

// The step's dot, one per replacement, and for art_01 alone one per million
// passes (n plain bytes take n + 1).  Archives are binary; art_02's changes
// length.  The backup holds the previous archive.  A step applied to its own
// output gives the input back.
TEST_F(ArtStepTest, BytesDotsBackupAndUndo) {
  const struct { int step; std::string before, after, dots; } cases[] = {
      {1, std::string(999999, 'x'), std::string(999999, 'x'), ".."},
      {1, std::string(999998, 'x'), std::string(999998, 'x'), "."},
      {2, std::string(999999, 'x') + "sanmarino.", std::string(999999, 'x') + "niederlande.", ".."},
      {3, std::string(999999, 'x') + "\\41.tpi\r\n\x1A", std::string(999999, 'x') + "\\34.tpi\r\n\x1A", ".."}};
  for (const auto& c : cases) {
    std::filesystem::remove(File(c.step, ".bak"));
    EXPECT_EQ(RunStep(c.step, c.before), c.dots) << c.step;
    EXPECT_EQ(ReadFile(File(c.step, ".big")), c.after);
    EXPECT_EQ(ReadFile(File(c.step, ".bak")), c.before);
    std::filesystem::remove(File(c.step, ".bak"));
    EXPECT_EQ(RunStep(c.step, c.after), c.dots);
    EXPECT_EQ(ReadFile(File(c.step, ".big")), c.before);
  }
}

// Neither file: an empty archive is left (a run undoes it).  A backup in the
// way, readable or not, while the archive is in place: the archive stays as
// it was and is never written from the old backup.
TEST_F(ArtStepDeathTest, FilesThatCannotBeOpenedOrMovedStopTheRun) {
  EXPECT_EXIT(PatchArt02(), testing::ExitedWithCode(1), "\"art_02.big\" was not found\\.\nerror2!!!$");
  EXPECT_TRUE(Exists("art_02.big") && ReadFile("art_02.big").empty() && !Exists("art_02.bak"));
  std::filesystem::create_directory("art_03.bak");
  WriteFile("art_03.big", "flags\\41.tpi");
  EXPECT_EXIT(PatchArt03(), testing::ExitedWithCode(1), "could not be moved to \"art_03.bak\"\\.\nerror2!!!$");
  EXPECT_EQ(ReadFile("art_03.big"), "flags\\41.tpi");
  WriteFile("art_01.bak", "old country41");
  WriteFile("art_01.big", "new country34");
  EXPECT_EXIT(PatchArt01(), testing::ExitedWithCode(1), "could not be moved to \"art_01.bak\"\\.\nerror2!!!$");
  EXPECT_EQ(ReadFile("art_01.big") + ReadFile("art_01.bak"), "new country34old country41");
}

}  // namespace
