// Runs of each build of the program in sample game folders: every row of the install/uninstall/refusal decision
// with its exact console output (on Windows as the console shows it).
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "test_support.h"

namespace fs = std::filesystem;
using std::string_literals::operator""s;

namespace {

// What "pause" shows when its input ends at once (standard input is /dev/null).
const std::string kPause = "Press any key to continue . . . \n";
const std::string kEditorMissing =
    "Veldo-Editor wasn't found. That means you haven't installed the editor or this patch was not placed in the "
    "Veldo-Folder. Patch will not be installed.\n\n" + kPause;
const std::string kUninstallFirst = "\nAfter uninstallation, execute this patch again to install it.\n" + kPause;
const std::string kAlreadyInstalled =
    "Patch is already installed. Aborting installation.\n"
    "To uninstall the patch please execute the file \"Brisco-UnInstall.exe\".\n" + kPause;
// One dot as each rewriting step begins and one per replacement in the small files below (archives 2, 1, 1; country
// list 2; script 2), and 2 + 206 for the databases.
const std::string kUninstall =
    "This will take some time. Please wait until the window closes..." + std::string(221, '.') + "\n" + kPause;
const std::string kInstall =
    "ATTENTION: Before installing new database updates or game updates you have to uninstall this patch by "
    "executing the file \"Brisco-UnInstall.exe\". Otherwise your database will be corrupt. After installing the "
    "updates this patch can be installed again.\n\n" + kUninstall;

using DriverTest = BothBuilds<GameFolderTest>;
INSTANTIATE_FOR_BOTH_BUILDS(DriverTest);

TEST_P(DriverTest, EveryDecisionWithItsExactOutput) {
  // Files present: E editor.exe, F a folder named editor.exe, B beta marker, 3 the 2005 patch's marker, M install
  // marker, U uninstaller.
  const struct { const char* present; std::vector<std::string> args; std::string out; } rows[] = {
      {"", {}, kEditorMissing}, {"FB3MU", {"/uninstall"}, kEditorMissing}, {"EB3MU", {"/uninstall"},
       "Beta Patch found. Please uninstall the Betapatch first. Therefor you need the Betapatch-Installer." +
           kUninstallFirst},
      {"E3", {}, "Patch for Veldo 2005 found. Please uninstall the Veldo2005 patch first. Therefor you need the "
                 "Veldo 2005 patch-Installer." + kUninstallFirst},
      {"E", {}, kInstall}, {"EU", {"/uninstall"}, kInstall},
      {"EM", {"/uninstall"}, kAlreadyInstalled}, {"EMU", {"/uninstall"}, kUninstall},
      {"EMU", {}, kAlreadyInstalled}, {"EMU", {"/UNINSTALL"}, kAlreadyInstalled},
      {"EMU", {"-uninstall"}, kAlreadyInstalled}, {"EMU", {"/uninstall", "x"}, kAlreadyInstalled},
      {"EMU", {"/uninstall "}, kAlreadyInstalled}, {"EMU", {""}, kAlreadyInstalled},
  };
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(dir_));
  WriteFile("art_01.big", "img41.tga\0country_34 g4"s);  // small files whose rewrites are known
  WriteFile("art_02.big", "niederlande.tga Niederlande.");
  WriteFile("art_03.big", "flags\\41.tpi /41.tpi");
  WriteFile("database/countries.sav", "San Marino\r\n34\r\nSAN\r\n22\r\n1\r\nflags\\34.tpi\r\n"
                                      "Niederlande\r\n41\r\nNIE\r\n29\r\n1\r\nflags\\41.tpi\r\n");
  WriteFile("script/Results.txt", "34 ; San_Marino\r\n41 ; Netherlands\t1\r\n");
  const FolderContent game = Snapshot(dir_);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.present + ::testing::PrintToString(row.args));
    const auto has = [&row](char file) { return std::string(row.present).find(file) != std::string::npos; };
    Restore(dir_, game);
    if (!has('E')) fs::remove("editor.exe");
    if (!has('U')) fs::remove("Brisco-UnInstall.exe");
    if (has('F')) fs::create_directory("editor.exe");
    if (has('B')) WriteFile("vandoril.dontdelete", "");
    if (has('3')) WriteFile("vandoril_03.dontdelete", "");
    if (has('M')) WriteFile("vandoril_06.dontdelete", "");
    const FolderContent before = Snapshot(dir_);
    const RunResult run = RunPatch(dir_, row.args);
    EXPECT_EQ(run.out, row.out);
    if (buildUnderTest == kWindowsBuild) {  // CR LF, and the pause text of Wine's cmd.exe, which ends no line
      std::string raw;
      for (char c : row.out.substr(0, row.out.size() - kPause.size())) raw += c == '\n' ? "\r\n" : std::string(1, c);
      EXPECT_EQ(run.rawOut, raw + "Press any key to continue... ") << "the Windows console";
    }
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitStatus, 0);
    if (row.out == kInstall || row.out == kUninstall) {
      EXPECT_EQ(ReadFile("editor.log"), "-master\n");
      EXPECT_EQ(Exists("vandoril_06.dontdelete"), row.out == kInstall);
      EXPECT_EQ(ReadFile("vandoril_06.dontdelete"), "") << "the marker is an empty file";
    } else {
      EXPECT_TRUE(Snapshot(dir_) == before) << "a refusal changes nothing";
    }
  }
}

// The players' zip as they get it, with its checksum: unpacked into a game folder without an uninstaller, named in
// letters outside Windows' code page (1252 here), it installs with its vandoril-patch.exe and uninstalls with its
// Brisco-UnInstall.exe, started elsewhere, and every file comes back byte for byte.  The uninstaller ends with the
// patch's status, and says so when the patch is not beside it or not installed, naming its folder in its own letters:
// in UTF-8 on standard error, a file, and in a console, which Wine makes on a terminal (script's, with input from
// /dev/null, so that "pause" does not wait) and shows in UTF-8 there.
TEST_F(GameFolderTest, TheReleaseZipInstallsAndUninstallsByItsOwnPrograms) {
  if (BuildsUnderTest().size() < 2) GTEST_SKIP() << "no Windows build";
  buildUnderTest = kWindowsBuild;
  const std::string game = dir_ + "/Игры ёж";
  ASSERT_NO_FATAL_FAILURE(MakeSampleGame(game, {"--archive-kib", "8", "--database-kib", "1"}));
  fs::current_path(game);
  fs::remove("Brisco-UnInstall.exe");
  const std::string zip = WindowsBuildFile("package/vandoril-patch-" VANDORIL_VERSION "-win64.zip");
  ASSERT_EQ(std::system(("cd " + WindowsBuildFile("package") + " && sha256sum --quiet -c SHA256SUMS && cd '" + game +
                         "' && cmake -E tar xf " + zip).c_str()), 0);
  const FolderContent pristine = Snapshot(game);
  EXPECT_EQ(RunWindowsProgram(game, game + "/vandoril-patch.exe").exitStatus, 0);
  const RunResult uninstall = RunWindowsProgram(game + "/script", game + "/Brisco-UnInstall.exe");
  EXPECT_EQ(uninstall.out.rfind("This will take some time. Please wait until the window closes....", 0), 0u) << uninstall.out;
  EXPECT_EQ(uninstall.err, "");
  EXPECT_EQ(uninstall.exitStatus, 0);
  EXPECT_EQ(ReadFile("editor.log"), "-master\n-master\n");
  EXPECT_TRUE(Snapshot(game) == pristine);
  const RunResult notInstalled = RunWindowsProgram(dir_, game + "/Brisco-UnInstall.exe", {}, {"LC_ALL=C.UTF-8"},
      R"(console() { script -qec "stty cols 250; $(printf "'%s' " "$@") </dev/null" /dev/null; }; console)");
  EXPECT_TRUE(notInstalled.out.find("is not installed in this folder (") != std::string::npos &&
              notInstalled.out.find("\\Игры ёж") != std::string::npos) << notInstalled.out;
  EXPECT_TRUE(Snapshot(game) == pristine) << "an uninstaller that installs";
  WriteFile("vandoril_06.dontdelete", "");
  fs::remove("art_03.big");
  EXPECT_EQ(RunWindowsProgram(dir_, game + "/Brisco-UnInstall.exe").exitStatus, 1) << "a failed uninstall";
  fs::remove("vandoril-patch.exe");
  const RunResult alone = RunWindowsProgram(dir_, game + "/Brisco-UnInstall.exe");
  EXPECT_EQ(alone.exitStatus, 1);
  EXPECT_NE(alone.err.find("vandoril-patch.exe was not found in the folder of this uninstaller (Z:" +
                           std::regex_replace(game, std::regex("/"), "\\") + "), so"), std::string::npos) << alone.err;
  EXPECT_EQ(alone.out, kPause);
}

}  // namespace
