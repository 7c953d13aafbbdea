// Renaming that never replaces an existing file.
#include <cerrno>
#include <filesystem>

#include "platform/rename.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

using RenameNoReplaceTest = GameFolderTest;

TEST_F(RenameNoReplaceTest, MovesTheContentOrFailsWithoutChangingAnything) {
  WriteFile("art_01.big", "archive");
  EXPECT_EQ(RenameNoReplace("art_01.big", "art_01.bak"), 0);
  EXPECT_FALSE(Exists("art_01.big"));
  EXPECT_EQ(ReadFile("art_01.bak"), "archive");

  errno = 0;
  EXPECT_NE(RenameNoReplace("art_01.big", "art_02.bak"), 0);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(Exists("art_02.bak"));

  WriteFile("art_01.big", "new");
  EXPECT_NE(RenameNoReplace("art_01.big", "art_01.bak"), 0);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(ReadFile("art_01.big"), "new");
  EXPECT_EQ(ReadFile("art_01.bak"), "archive");

  // Not even an empty directory is replaced, which a plain rename would do.
  fs::create_directory("from");
  fs::create_directory("to");
  EXPECT_NE(RenameNoReplace("from", "to"), 0);
  EXPECT_TRUE(fs::is_directory("from"));
}

}  // namespace
