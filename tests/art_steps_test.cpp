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
// length.  The backup holds the previous archive, or is the input when an
// earlier run left it.  A step applied to its own output gives the input back.
TEST_F(ArtStepTest, BytesDotsBackupAndUndo) {
  const struct { int step; std::string before, after, dots, backup; } cases[] = {
      {1, std::string(999999, 'x'), std::string(999999, 'x'), "..", ""},
      {1, std::string(999998, 'x'), std::string(999998, 'x'), ".", ""},
      {2, std::string(999999, 'x') + "sanmarino.", std::string(999999, 'x') + "niederlande.", "..", ""},
      {3, std::string(999999, 'x') + "\\41.tpi\r\n\x1A", std::string(999999, 'x') + "\\34.tpi\r\n\x1A", "..", ""},
      {1, "current country34", "old country34", "..", "old country41"}};
  for (const auto& c : cases) {
    std::filesystem::remove(File(c.step, ".bak"));
    if (!c.backup.empty()) WriteFile(File(c.step, ".bak"), c.backup);
    EXPECT_EQ(RunStep(c.step, c.before), c.dots) << c.step;
    EXPECT_EQ(ReadFile(File(c.step, ".big")), c.after);
    EXPECT_EQ(ReadFile(File(c.step, ".bak")), c.backup.empty() ? c.before : c.backup);
    std::filesystem::remove(File(c.step, ".bak"));
    EXPECT_EQ(RunStep(c.step, c.after), c.dots);
    EXPECT_EQ(ReadFile(File(c.step, ".big")), c.backup.empty() ? c.before : c.backup);
  }
}

// Neither file: an empty archive is left.  A backup that cannot be read (a
// folder) while the archive is in place: the archive stays as it was.
TEST_F(ArtStepDeathTest, FilesThatCannotBeOpenedStopTheRun) {
  EXPECT_EXIT(PatchArt02(), testing::ExitedWithCode(1), "^error2!!!$");
  EXPECT_TRUE(Exists("art_02.big") && ReadFile("art_02.big").empty() && !Exists("art_02.bak"));
  std::filesystem::create_directory("art_03.bak");
  WriteFile("art_03.big", "flags\\41.tpi");
  EXPECT_EXIT(PatchArt03(), testing::ExitedWithCode(1), "^error2!!!$");
  EXPECT_EQ(ReadFile("art_03.big"), "flags\\41.tpi");
}

}  // namespace
