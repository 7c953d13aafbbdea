// The rename that never replaces a file, also its way round where the system has no such rename, and the flush that
// copies permissions.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/durable_files.h"
#include "platform/rename.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {
int refusal = 0;  // the errno with which renameat2, replaced below, fails; 0 for none
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) __THROW {
  if (refusal == 0) return static_cast<int>(syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
  errno = refusal;
  return -1;
}

namespace {

using FileOperationsTest = GameFolderTest;

// With the system's own no-replace rename, then with each refusal of it that leaves the way round; any other
// failure of it is final.
TEST_F(FileOperationsTest, RenameNoReplaceMovesOrFailsWithoutChangingAnything) {
  const auto error = [](const char* from, const char* to) { return RenameNoReplace(from, to) == 0 ? 0 : errno; };
  for (int refused : {0, EINVAL, ENOSYS, EPERM, EOPNOTSUPP}) {
    SCOPED_TRACE(refused);
    for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
    refusal = refused;
    WriteFile("art_01.big", "archive");
    EXPECT_EQ(error("art_01.big", "art_01.bak"), 0);
    EXPECT_TRUE(ReadFile("art_01.bak") == "archive" && !Exists("art_01.big"));
    EXPECT_EQ(error("art_01.big", "art_02.bak"), ENOENT);
    WriteFile("art_01.big", "new");
    EXPECT_EQ(RenameNoReplace("art_01.big", "art_01.bak"), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(error("art_01.big", "nowhere/art_01.bak"), ENOENT);
    EXPECT_EQ(ReadFile("art_01.big") + ReadFile("art_01.bak"), "newarchive");
    fs::create_directories("from/x"), fs::create_directories("to");
    EXPECT_EQ(error("from", "to"), EEXIST) << "not even an empty directory is replaced, as a plain rename would";
    EXPECT_EQ(error("from", "nowhere/from"), ENOENT);
    EXPECT_EQ(error("from", "moved"), 0);
    EXPECT_TRUE(Exists("moved/x") && !Exists("from"));
  }
  refusal = EIO;
  EXPECT_EQ(error("art_01.big", "art_03.bak"), EIO);
  refusal = 0;
  EXPECT_TRUE(Exists("art_01.big") && !Exists("art_03.bak"));
}

// The permissions of the model, unless there is none; a model that cannot be looked at or a file that cannot be
// changed or flushed fails.
TEST_F(FileOperationsTest, SyncFileWithPermissionsOfCopiesTheModelsPermissions) {
  WriteFile("model", ""), WriteFile("file", "");
  fs::permissions("model", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_TRUE(SyncFileWithPermissionsOf("file", "model"));
  fs::permissions("model", fs::perms::owner_all);
  EXPECT_TRUE(SyncFileWithPermissionsOf("file", "missing"));
  EXPECT_EQ(fs::status("file").permissions(), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(SyncFileWithPermissionsOf("file", "model/x"));
  EXPECT_FALSE(SyncFileWithPermissionsOf("missing", "model") || SyncFileWithPermissionsOf("missing", "missing"));
}

}  // namespace
