// The results script step run in a temporary game folder: its four
// replacements, its dots, its backup and its one error path.
#include <gtest/gtest.h>

#include <filesystem>

#include "database/results_script.h"
#include "installer/shared_state.h"
#include "test_support.h"

namespace {

using ResultsScriptTest = GameFolderTest;

// Runs the step and returns what it wrote to standard output.
std::string RunStep() {
  testing::internal::CaptureStdout();
  PatchResultsScript();
  return testing::internal::GetCapturedStdout();
}

// Runs the step once more the way the next run of the program would: the
// backup of the previous run has been removed by then.
std::string RunStepAgain() {
  std::filesystem::remove("script/Results.bak");
  return RunStep();
}

TEST_F(ResultsScriptTest, ExchangesTheTwoCountriesLinesAndBack) {
  const std::string script =
      "; results\r\n"
      "33 ; Country_33\t0\r\n"
      "34 ; San_Marino\r\n"
      "35 ; Country_35\t1\r\n"
      "41 ; Netherlands\t1\r\n"
      "\r\n"
      "41 ; 34 ; 2 : 1\r\n";
  WriteFile("script/Results.txt", script);

  EXPECT_EQ(RunStep(), "...");
  EXPECT_EQ(ReadFile("script/Results.txt"),
            "; results\r\n"
            "33 ; Country_33\t0\r\n"
            "41 ; San_Marino\r\n"
            "35 ; Country_35\t1\r\n"
            "34 ; Netherlands\t1\r\n"
            "\r\n"
            "41 ; 34 ; 2 : 1\r\n");
  EXPECT_EQ(ReadFile("script/Results.bak"), script) << "the backup keeps the previous script";

  EXPECT_EQ(RunStepAgain(), "...");
  EXPECT_EQ(ReadFile("script/Results.txt"), script);
}

TEST_F(ResultsScriptTest, AMatchingLineIsReplacedWhole) {
  WriteFile("script/Results.txt",
            "34 ; Netherlands\r\n"
            "34 ; Netherlands\t0\r\n"
            "41 ; San_Marino\t7\r\n"
            "41 ; Netherlands and more\r\n"
            "34 ; San_Marino, twice\r\n"
            "34 ; San_Marino\r\n");
  EXPECT_EQ(RunStep(), ".......");
  EXPECT_EQ(ReadFile("script/Results.txt"),
            "41 ; Netherlands\t1\r\n"
            "41 ; Netherlands\t1\r\n"
            "34 ; San_Marino\r\n"
            "34 ; Netherlands\t1\r\n"
            "41 ; San_Marino\r\n"
            "41 ; San_Marino\r\n");
}

TEST_F(ResultsScriptTest, OnlyAnExactPrefixMatches) {
  const std::string script =
      " 34 ; San_Marino\r\n"
      "34 ; san_marino\r\n"
      "34 ; San Marino\r\n"
      "34 ; San_Marin\r\n"
      "34 ;San_Marino\r\n"
      "41 ; netherlands\t1\r\n"
      "41 ; Netherland\r\n"
      "\t41 ; Netherlands\t1\r\n";
  WriteFile("script/Results.txt", script);
  EXPECT_EQ(RunStep(), ".");
  EXPECT_EQ(ReadFile("script/Results.txt"), script);
}

TEST_F(ResultsScriptTest, EmptyScriptStaysEmpty) {
  WriteFile("script/Results.txt", "");
  EXPECT_EQ(RunStep(), ".");
  EXPECT_TRUE(Exists("script/Results.txt"));
  EXPECT_EQ(ReadFile("script/Results.txt"), "");
}

TEST_F(ResultsScriptTest, LinesAreWrittenBackWithCrLf) {
  // Lone LF ends a line; a lone CR stays in its line; a last line without a
  // line end gets one; empty lines stay; Ctrl-Z ends the input.
  WriteFile("script/Results.txt", "a\nb\rc\r\n\n\r\nlast");
  EXPECT_EQ(RunStep(), ".");
  EXPECT_EQ(ReadFile("script/Results.txt"), "a\r\nb\rc\r\n\r\n\r\nlast\r\n");

  WriteFile("script/Results.txt", "34 ; San_Marino\r\n\x1A" "41 ; Netherlands\t1\r\n");
  EXPECT_EQ(RunStepAgain(), "..");
  EXPECT_EQ(ReadFile("script/Results.txt"), "41 ; San_Marino\r\n");
}

TEST_F(ResultsScriptTest, ALeftOverBackupIsTheInput) {
  // A run that stopped before removing its backups leaves Results.bak; the
  // rename then fails and the script is rewritten from that older backup.
  WriteFile("script/Results.bak", "34 ; San_Marino\r\n");
  WriteFile("script/Results.txt", "something newer\r\n");
  EXPECT_EQ(RunStep(), "..");
  EXPECT_EQ(ReadFile("script/Results.txt"), "41 ; San_Marino\r\n");
  EXPECT_EQ(ReadFile("script/Results.bak"), "34 ; San_Marino\r\n");
}

TEST_F(ResultsScriptTest, LeavesTheSharedStreamsClosedAndGood) {
  WriteFile("script/Results.txt", "34 ; San_Marino");
  RunStep();
  EXPECT_FALSE(sharedInput.is_open());
  EXPECT_FALSE(sharedOutput.is_open());
  EXPECT_TRUE(sharedInput.good());
  EXPECT_TRUE(sharedOutput.good());
}

TEST_F(ResultsScriptTest, WithNeitherScriptNorBackupEndsWithStatusOne) {
  std::filesystem::create_directory("script");
  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1), "^error!!!$");
  // Both files are opened before either is tested.
  EXPECT_TRUE(Exists("script/Results.txt"));
  EXPECT_EQ(ReadFile("script/Results.txt"), "");
}

TEST_F(ResultsScriptTest, WithoutTheScriptFolderEndsWithStatusOne) {
  EXPECT_EXIT(PatchResultsScript(), testing::ExitedWithCode(1), "^error!!!$");
  EXPECT_FALSE(Exists("script"));
}

}  // namespace
