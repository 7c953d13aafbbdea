// Renaming that never replaces an existing file.
#include <cerrno>
#include <filesystem>

#include "platform/rename.h"
#include "test_support.h"

namespace {

using RenameNoReplaceTest = GameFolderTest;

TEST_F(RenameNoReplaceTest, MovesTheContentOrFailsWithoutChangingAnything) {
  WriteFile("art_01.big", "archive");
  EXPECT_EQ(RenameNoReplace("art_01.big", "art_01.bak"), 0);
  EXPECT_EQ(ReadFile("art_01.bak"), "archive");
  EXPECT_EQ(RenameNoReplace("art_01.big", "art_02.bak"), -1);
  EXPECT_EQ(errno, ENOENT);

  WriteFile("art_01.big", "new");
  EXPECT_EQ(RenameNoReplace("art_01.big", "art_01.bak"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile("art_01.big") + ReadFile("art_01.bak"), "newarchive");
  // Not even an empty directory is replaced, which a plain rename would do.
  std::filesystem::create_directories("from/x");
  std::filesystem::create_directories("to");
  EXPECT_EQ(RenameNoReplace("from", "to"), -1);
  EXPECT_TRUE(Exists("from/x"));
}

}  // namespace
