#include <filesystem>

#include "database/country_list.h"
#include "database_test_support.h"
#include "test_support.h"

namespace {

const Lines kSan = {"San Marino", "SMR", "34", "1", "Serravalle", "end"};
const Lines kNed = {"Niederlande", "NED", "41", "9", "Amsterdam", "end"};

class CountryListTest : public GameFolderTest {
 protected:
  // Writes the list, runs the step and returns the list's new bytes.
  std::string Patch(const std::string& list) {
    std::filesystem::remove_all("database");
    WriteFile("database/countries.sav", list);
    output_ = RunCaptured(PatchCountryList);
    return ReadFile("database/countries.sav");
  }
  StepOutput output_;
};

// Each row: the list before and after, and why it was written back unchanged
// (exchanging a missing or repeated record would drop a country).
TEST_F(CountryListTest, TheTwoRecordsExchangePlacesAndEveryOtherLineStays) {
  // A record is the line that begins with the name and the five lines after it.
  const Lines sanWithNames = {"San Marino (SMR)", "Niederlande", "3", "San Marino", "5", "6"};
  const Lines notRecords = {" San Marino", "san marino", "Niederland"};
  const struct {
    std::string before, after, problem = "";
  } cases[] = {
      {Crlf({{"H", "1"}, kSan, {"Malta", ""}, kNed, {"x"}}), Crlf({{"H", "1"}, kNed, {"Malta", ""}, kSan, {"x"}})},
      {Crlf({kNed, kSan}), Crlf({kSan, kNed})},
      {Crlf({notRecords, sanWithNames, kNed}), Crlf({notRecords, kNed, sanWithNames})},
      // The end of the file inside a record gives empty lines.
      {Crlf({{"a"}, kSan, {"b", "Niederlande", "N"}}), Crlf({{"a", "Niederlande", "N", "", "", "", "", "b"}, kSan})},
      {Crlf({{"Albanien"}}), Crlf({{"Albanien"}}), "no San Marino record and no Netherlands record"},
      {Crlf({kSan}), Crlf({kSan}), "no Netherlands record"},
      {Crlf({kSan, kNed, kSan}), Crlf({kSan, kNed, kSan}), "2 San Marino records"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    EXPECT_EQ(Patch(c.before), c.after);
    EXPECT_EQ(ReadFile("database/bak/countries.sav"), c.before) << "the previous list is the backup";
    EXPECT_EQ(output_.out, c.problem.empty() ? "..." : ".");
    const std::string warning = "vandoril-patch: \"database/countries.sav\" has " + c.problem +
                                " where exactly one of each is needed; the country list was left as it was.\n";
    EXPECT_EQ(output_.err, c.problem.empty() ? "" : warning);
  }
  EXPECT_EQ(Patch(Patch(cases[0].before)), cases[0].before) << "a second run restores the list";
}

// The list may be emptied only once its content lies in the backup.
TEST_F(CountryListTest, AListThatCannotBeMovedStaysUntouchedAndAMissingOneEndsTheProgram) {
  WriteFile("database/countries.sav", Crlf({kSan, kNed}));
  WriteFile("database/bak", "a plain file where the backup directory belongs");
  EXPECT_EXIT(PatchCountryList(), testing::ExitedWithCode(1), "could not be moved.*\n+error!!!$");
  EXPECT_EQ(ReadFile("database/countries.sav"), Crlf({kSan, kNed}));

  std::filesystem::remove_all("database");
  std::filesystem::create_directory("database");
  EXPECT_EXIT(PatchCountryList(), testing::ExitedWithCode(1), "error!!!$");
}

}  // namespace
