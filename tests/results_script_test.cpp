// The results script step run in a temporary game folder: its replacements,
// dots and backup, and how it stops when it cannot open its files.
#include <filesystem>

#include "database/results_script.h"
#include "test_support.h"

namespace {

using ResultsScriptTest = GameFolderTest;

TEST_F(ResultsScriptTest, ReplacesMatchingLinesWholeAndWritesCrLf) {
  const char* const kNearMisses =
      " 34 ; San_Marino\r\n34 ; san_marino\r\n34 ; San Marino\r\n34 ; San_Marin\r\n34 ;San_Marino\r\n"
      "41 ; Netherland\r\n\t41 ; Netherlands\t1\r\n";
  const char* const kScript = "; results\r\n34 ; San_Marino\r\n\r\n41 ; Netherlands\t1\r\n41 ; 34 ; 2 : 1\r\n";
  const char* const kPatched = "; results\r\n41 ; San_Marino\r\n\r\n34 ; Netherlands\t1\r\n41 ; 34 ; 2 : 1\r\n";
  const struct { const char* in; const char* out; const char* dots; } cases[] = {
      {"", "", "."},
      {kScript, kPatched, "..."},
      {kPatched, kScript, "..."},  // the uninstall gives the lines back
      // Whatever follows a matching prefix is dropped.
      {"34 ; Netherlands\r\n34 ; Netherlands\t0\r\n41 ; San_Marino\t7\r\n41 ; Netherlands and more\r\n"
       "34 ; San_Marino, twice\r\n34 ; San_Marino\r\n",
       "41 ; Netherlands\t1\r\n41 ; Netherlands\t1\r\n34 ; San_Marino\r\n34 ; Netherlands\t1\r\n"
       "41 ; San_Marino\r\n41 ; San_Marino\r\n", "......."},
      {kNearMisses, kNearMisses, "."},
      // Lone LF ends a line, a lone CR stays in it, the last line gets a line
      // end and Ctrl-Z ends the input.
      {"a\nb\rc\r\n\n\r\nlast", "a\r\nb\rc\r\n\r\n\r\nlast\r\n", "."},
      {"34 ; San_Marino\r\n\x1A", "41 ; San_Marino\r\n", ".."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::filesystem::remove("script/Results.bak");  // as RemoveBackups leaves it
    WriteFile("script/Results.txt", c.in);
    testing::internal::CaptureStdout();
    PatchResultsScript();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.dots);
    EXPECT_EQ(ReadFile("script/Results.txt"), c.out);
    EXPECT_EQ(ReadFile("script/Results.bak"), c.in) << "the backup keeps the previous script";
  }
}

TEST_F(ResultsScriptTest, StopsWithStatusOneWhenItCannotOpenItsFiles) {
  // Neither script nor backup: both are opened before either is tested.
  std::filesystem::create_directory("script");
  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1), "\"script/Results.txt\" was not found\\.\nerror!!!$");
  EXPECT_TRUE(Exists("script/Results.txt"));
  // A backup that cannot be read (a folder) leaves the script untouched.
  WriteFile("script/Results.txt", "34 ; San_Marino\r\n");
  std::filesystem::create_directory("script/Results.bak");
  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1), "could not be moved to \"script/Results.bak\"\\.\nerror!!!$");
  EXPECT_EQ(ReadFile("script/Results.txt"), "34 ; San_Marino\r\n");
  // A Ctrl-Z before the end would cut the script short there.
  std::filesystem::remove("script/Results.bak");
  WriteFile("script/Results.txt", "34 ; San_Marino\r\n\x1A" "41 ; Netherlands\t1\r\n");
  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1),
              "\"script/Results.txt\" holds the byte Ctrl-Z \\(0x1A\\) at offset 17 with more bytes after it");
}

}  // namespace
