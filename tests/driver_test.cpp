// End-to-end runs of the built program in temporary game folders: every row
// of the install/uninstall/refusal decision, the exact console output, the
// install marker, the editor's start, the backups, and a step that stops.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sample_game.h"
#include "test_support.h"

namespace fs = std::filesystem;
using std::string_literals::operator""s;

namespace {

const std::string kEditorMissing =
    "Veldo-Editor wasn't found. That means you haven't installed the editor or this patch was not placed in the "
    "Veldo-Folder. Patch will not be installed.";
const std::string kBetaPatchFound =
    "Beta Patch found. Please uninstall the Betapatch first. Therefor you need the Betapatch-Installer.";
const std::string k2005PatchFound =
    "Patch for Veldo 2005 found. Please uninstall the Veldo2005 patch first. Therefor you need the Veldo 2005 "
    "patch-Installer.";
const std::string kAfterUninstallation = "After uninstallation, execute this patch again to install it.";
const std::string kAlreadyInstalled = "Patch is already installed. Aborting installation.";
const std::string kHowToUninstall = "To uninstall the patch please execute the file \"Brisco-UnInstall.exe\".";
const std::string kAttention =
    "ATTENTION: Before installing new database updates or game updates you have to uninstall this patch by "
    "executing the file \"Brisco-UnInstall.exe\". Otherwise your database will be corrupt. After installing the "
    "updates this patch can be installed again.\n\n";
const std::string kWaiting = "This will take some time. Please wait until the window closes...";
// What "pause" shows when its input ends at once (standard input is /dev/null).
const std::string kPause = "Press any key to continue . . . \n";

const std::string kMarker = "vandoril_06.dontdelete";
const std::string kEditorStandIn = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> editor.log\n";

// A folder for the refusal paths: only the files named, each a few bytes.
class RefusalTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir(); }
  void TearDown() override { fs::remove_all(dir_); }

  void Put(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      WriteFile(dir_ + "/" + name, name == "editor.exe" ? kEditorStandIn : "");
      if (name == "editor.exe") fs::permissions(dir_ + "/" + name, fs::perms::owner_all);
    }
  }

  // Runs the program and expects a refusal with `messages` and no change
  // to the folder.
  void ExpectRefusal(const std::vector<std::string>& args, const std::string& messages) {
    const auto before = Snapshot(dir_);
    const RunResult run = RunPatch(dir_, args);
    EXPECT_EQ(run.out, messages + kPause);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(Differences(before, Snapshot(dir_)), std::vector<std::string>{});
  }

  std::string dir_;
};

TEST_F(RefusalTest, EditorMissingIsCheckedBeforeAnyMarker) {
  const std::string refusal = kEditorMissing + "\n\n";
  ExpectRefusal({}, refusal);
  Put({"vandoril.dontdelete", "vandoril_03.dontdelete", kMarker, "Brisco-UnInstall.exe"});
  ExpectRefusal({}, refusal);
  ExpectRefusal({"/uninstall"}, refusal);
}

TEST_F(RefusalTest, AnEditorThatIsAFolderCountsAsMissing) {
  fs::create_directory(dir_ + "/editor.exe");
  ExpectRefusal({}, kEditorMissing + "\n\n");
}

TEST_F(RefusalTest, OlderPatchesMustBeUninstalledFirst) {
  Put({"editor.exe", "vandoril_03.dontdelete"});
  ExpectRefusal({}, k2005PatchFound + "\n" + kAfterUninstallation + "\n");
  // With both older markers only the beta patch is named.
  Put({"vandoril.dontdelete", kMarker, "Brisco-UnInstall.exe"});
  ExpectRefusal({}, kBetaPatchFound + "\n" + kAfterUninstallation + "\n");
  ExpectRefusal({"/uninstall"}, kBetaPatchFound + "\n" + kAfterUninstallation + "\n");
}

TEST_F(RefusalTest, InstalledPatchWithoutUninstallerIsNotUninstalled) {
  Put({"editor.exe", kMarker});
  const std::string refusal = kAlreadyInstalled + "\n" + kHowToUninstall + "\n";
  ExpectRefusal({}, refusal);
  ExpectRefusal({"/uninstall"}, refusal);
}

TEST_F(RefusalTest, OnlyExactlyOneArgumentSlashUninstallUninstalls) {
  Put({"editor.exe", kMarker, "Brisco-UnInstall.exe"});
  const std::string refusal = kAlreadyInstalled + "\n" + kHowToUninstall + "\n";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"/UNINSTALL"}, {"/Uninstall"}, {"-uninstall"}, {"uninstall"}, {"/uninstal"}, {"/uninstall "},
           {" /uninstall"}, {""}, {"/uninstall", "/uninstall"}, {"/uninstall", "x"}, {"x", "/uninstall"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    ExpectRefusal(args, refusal);
  }
}

#ifdef MAKE_SAMPLE_GAME_EXE

// A complete game folder made by the generator, in which some files are then
// replaced by small ones whose rewrites the tests spell out.
class GameRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeTempDir();
    dir_ = root_ + "/game";
    ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_));
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  bool Has(const std::string& name) const { return Exists(Path(name)); }
  std::string Read(const std::string& name) const { return ReadFile(Path(name)); }

  // Small archives, country list and results script with known rewrites.
  void UseSmallFiles() {
    WriteFile(Path("art_01.big"), "img41.tga\0country_34 g4"s);
    WriteFile(Path("art_02.big"), "niederlande.tga Niederlande.");
    WriteFile(Path("art_03.big"), "flags\\41.tpi /41.tpi");
    WriteFile(Path("database/countries.sav"), kCountries);
    WriteFile(Path("script/Results.txt"), "34 ; San_Marino\r\n41 ; Netherlands\t1\r\n");
  }

  // Dots of a run over the small files: a dot at the start of each rewriting
  // step and one per replacement (archives 2, 1, 1; country list 2; script 2),
  // and 2 + 206 for the country databases.
  static std::string SmallRunDots() { return std::string(3 + 2 + 2 + 3 + 3 + 2 + 206, '.'); }

  void ExpectNoBackupsLeft() const {
    for (const char* name : {"art_01.bak", "art_02.bak", "art_03.bak", "script/Results.bak", "database/bak"}) {
      EXPECT_FALSE(Has(name)) << name;
    }
  }

  static constexpr const char* kCountries =
      "Andorra\r\n1\r\nAND\r\n11\r\n1\r\nflags\\1.tpi\r\n"
      "San Marino\r\n34\r\nSAN\r\n22\r\n1\r\nflags\\34.tpi\r\n"
      "Malta\r\n40\r\nMAL\r\n50\r\n1\r\nflags\\40.tpi\r\n"
      "Niederlande\r\n41\r\nNIE\r\n29\r\n1\r\nflags\\41.tpi\r\n";

  std::string root_, dir_;
};

TEST_F(GameRunTest, InstallThenUninstallShowExactlyTheirMessagesAndDots) {
  UseSmallFiles();

  const RunResult install = RunPatch(dir_);
  EXPECT_EQ(install.out, kAttention + kWaiting + SmallRunDots() + "\n" + kPause);
  EXPECT_EQ(install.err, "") << "every command of a complete run succeeds silently";
  EXPECT_EQ(install.exitStatus, 0);
  ASSERT_TRUE(Has(kMarker));
  EXPECT_EQ(Read(kMarker), "");
  EXPECT_EQ(Read("editor.log"), "-master\n");
  ExpectNoBackupsLeft();

  EXPECT_EQ(Read("art_01.big"), "img34.tga\0country_41 g4"s);
  EXPECT_EQ(Read("art_02.big"), "sanmarino.tga Niederlande.");
  EXPECT_EQ(Read("art_03.big"), "flags\\34.tpi /41.tpi");
  EXPECT_EQ(Read("database/countries.sav"),
            "Andorra\r\n1\r\nAND\r\n11\r\n1\r\nflags\\1.tpi\r\n"
            "Niederlande\r\n41\r\nNIE\r\n29\r\n1\r\nflags\\41.tpi\r\n"
            "Malta\r\n40\r\nMAL\r\n50\r\n1\r\nflags\\40.tpi\r\n"
            "San Marino\r\n34\r\nSAN\r\n22\r\n1\r\nflags\\34.tpi\r\n");
  EXPECT_EQ(Read("script/Results.txt"), "41 ; San_Marino\r\n34 ; Netherlands\t1\r\n");

  const RunResult uninstall = RunPatch(dir_, {"/uninstall"});
  EXPECT_EQ(uninstall.out, kWaiting + SmallRunDots() + "\n" + kPause);
  EXPECT_EQ(uninstall.err, "");
  EXPECT_EQ(uninstall.exitStatus, 0);
  EXPECT_FALSE(Has(kMarker));
  EXPECT_EQ(Read("editor.log"), "-master\n-master\n");
  ExpectNoBackupsLeft();

  EXPECT_EQ(Read("art_01.big"), "img41.tga\0country_34 g4"s);
  EXPECT_EQ(Read("art_02.big"), "niederlande.tga Niederlande.");
  EXPECT_EQ(Read("art_03.big"), "flags\\41.tpi /41.tpi");
  EXPECT_EQ(Read("database/countries.sav"), kCountries);
  EXPECT_EQ(Read("script/Results.txt"), "34 ; San_Marino\r\n41 ; Netherlands\t1\r\n");
}

TEST_F(GameRunTest, InstallAndUninstallGiveEveryFileBack) {
  const auto pristine = Snapshot(dir_);
  const std::string country34 = Read("database/country34.sav");
  const std::string country41 = Read("database/country41.sav");

  ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
  const auto installed = Snapshot(dir_);
  EXPECT_EQ(Differences(pristine, installed).size(), 3u + 2 + 206 + 2)
      << "every archive, the list, the script and every database change; marker and editor.log are new";
  // Country 34's file now holds the Netherlands' database, and the other way.
  EXPECT_EQ(Read("database/country34.sav").rfind("; Veldo country database 41\r\nNiederlande\r\n", 0), 0u);
  EXPECT_EQ(Read("database/country41.sav").rfind("; Veldo country database 34\r\nSan Marino\r\n", 0), 0u);
  EXPECT_NE(Read("database/country34.sav"), country41);

  // A second run without the argument refuses and changes nothing.
  const RunResult again = RunPatch(dir_);
  EXPECT_EQ(again.out, kAlreadyInstalled + "\n" + kHowToUninstall + "\n" + kPause);
  EXPECT_EQ(Differences(installed, Snapshot(dir_)), std::vector<std::string>{});

  ASSERT_EQ(RunPatch(dir_, {"/uninstall"}).exitStatus, 0);
  ASSERT_TRUE(Has("editor.log"));
  fs::remove(Path("editor.log"));
  EXPECT_EQ(Differences(pristine, Snapshot(dir_)), std::vector<std::string>{});
  EXPECT_EQ(Read("database/country34.sav"), country34);
}

TEST_F(GameRunTest, SlashUninstallWithoutTheMarkerInstalls) {
  UseSmallFiles();
  const RunResult run = RunPatch(dir_, {"/uninstall"});
  EXPECT_EQ(run.out, kAttention + kWaiting + SmallRunDots() + "\n" + kPause);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(Has(kMarker));
}

TEST_F(GameRunTest, TheUninstallerIsOnlyLookedFor) {
  // The stand-in uninstaller would leave a trace if it were started.
  WriteFile(Path("Brisco-UnInstall.exe"), "#!/bin/sh\necho started > uninstaller.log\n");
  fs::permissions(Path("Brisco-UnInstall.exe"), fs::perms::owner_all);
  ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
  ASSERT_EQ(RunPatch(dir_, {"/uninstall"}).exitStatus, 0);
  EXPECT_FALSE(Has("uninstaller.log"));
  EXPECT_EQ(Read("editor.log"), "-master\n-master\n");
}

TEST_F(GameRunTest, AStoppedInstallLeavesTheMarkerAndItsBackups) {
  // Neither the results script nor its backup: the fifth step cannot open it.
  fs::remove(Path("script/Results.txt"));
  const std::string art01 = Read("art_01.big");

  const RunResult run = RunPatch(dir_);
  EXPECT_EQ(run.exitStatus, 1);
  ASSERT_GE(run.err.size(), 8u);
  EXPECT_EQ(run.err.substr(run.err.size() - 8), "error!!!");
  // No line end and no "pause" after the step's dots.
  EXPECT_EQ(run.out.rfind(kAttention + kWaiting + "...", 0), 0u);
  EXPECT_EQ(run.out.find_first_not_of('.', kAttention.size() + kWaiting.size()), std::string::npos);

  EXPECT_TRUE(Has(kMarker)) << "the marker was made before the steps";
  EXPECT_EQ(Read("art_01.bak"), art01) << "backups made so far stay";
  EXPECT_TRUE(Has("database/bak/countries.sav"));
  EXPECT_EQ(Read("script/Results.txt"), "") << "both files are opened before either is tested";
  EXPECT_FALSE(Has("editor.log")) << "the editor is not started";

  // The next run finds the patch installed.
  EXPECT_EQ(RunPatch(dir_).out, kAlreadyInstalled + "\n" + kHowToUninstall + "\n" + kPause);
}

TEST_F(GameRunTest, AStoppedUninstallHasAlreadyDeletedTheMarker) {
  ASSERT_EQ(RunPatch(dir_).exitStatus, 0);
  fs::remove(Path("script/Results.txt"));

  const RunResult run = RunPatch(dir_, {"/uninstall"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out.rfind(kWaiting + "...", 0), 0u);
  EXPECT_EQ(run.out.find_first_not_of('.', kWaiting.size()), std::string::npos);
  EXPECT_FALSE(Has(kMarker));
  EXPECT_TRUE(Has("art_01.bak"));

  // The next run is an install run.
  EXPECT_EQ(RunPatch(dir_).out.rfind(kAttention + kWaiting, 0), 0u);
  EXPECT_TRUE(Has(kMarker));
}

#endif  // MAKE_SAMPLE_GAME_EXE

}  // namespace
