#include <algorithm>
#include <filesystem>

#include "database/country_list.h"
#include "database_test_support.h"
#include "test_support.h"

namespace {

const Lines kSanMarino = {"San Marino", "SMR", "34", "1", "Serravalle", "end"};
const Lines kNetherlands = {"Niederlande", "NED", "41", "9", "Amsterdam", "end"};

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

TEST_F(CountryListTest, TheTwoRecordsExchangePlacesAndEveryOtherLineStays) {
  const Lines sanMarinoWithNames = {"San Marino (SMR)", "Niederlande", "3", "San Marino", "5", "6"};
  const struct {
    std::string before;
    Lines after;
  } cases[] = {
      {Crlf(Join({{"Head", "1"}, kSanMarino, {"Malta", ""}, kNetherlands, {"x"}})),
       Join({{"Head", "1"}, kNetherlands, {"Malta", ""}, kSanMarino, {"x"}})},
      {Crlf(Join({kNetherlands, kSanMarino})), Join({kSanMarino, kNetherlands})},
      // Only a line beginning with the exact name starts a record, and the five
      // lines after it are never tested.
      {Crlf(Join({{" San Marino", "san marino", "Niederland"}, sanMarinoWithNames, kNetherlands})),
       Join({{" San Marino", "san marino", "Niederland"}, kNetherlands, sanMarinoWithNames})},
      // The end of the file inside a record gives empty lines.
      {Crlf(Join({{"a"}, kSanMarino, {"b", "Niederlande", "NED"}})),
       Join({{"a", "Niederlande", "NED", "", "", "", "", "b"}, kSanMarino})},
      {"a\n\r\n" + Crlf(kSanMarino) + "\n" + Crlf(kNetherlands) + "last",
       Join({{"a", ""}, kNetherlands, {""}, kSanMarino, {"last"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    EXPECT_EQ(Patch(c.before), Crlf(c.after));
    EXPECT_EQ(output_.out, "...");
    EXPECT_EQ(output_.err, "");
    EXPECT_EQ(ReadFile("database/bak/countries.sav"), c.before) << "the previous list is the backup";
  }
}

TEST_F(CountryListTest, ASecondRunRestoresTheFirstOrder) {
  const std::string before = Crlf(Join({{"A"}, kNetherlands, {"B"}, kSanMarino}));
  EXPECT_EQ(Patch(Patch(before)), before);
}

// Exchanging a missing or repeated record would drop a country from the list.
TEST_F(CountryListTest, WithoutExactlyOneRecordOfEachTheListIsWrittenBackUnchanged) {
  const struct {
    Lines list;
    std::string problem;
  } cases[] = {
      {{"Albanien", "1", "2"}, "no San Marino record and no Netherlands record"},
      {Join({{"a"}, kSanMarino, {"b"}}), "no Netherlands record"},
      {Join({kSanMarino, kNetherlands, kSanMarino}), "2 San Marino records"},
      {Join({kNetherlands, kNetherlands, kNetherlands}), "no San Marino record and 3 Netherlands records"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    std::string before;  // lone LF line ends and none after the last line
    for (const std::string& line : c.list) before += (before.empty() ? "" : "\n") + line;
    EXPECT_EQ(Patch(before), Crlf(c.list));
    EXPECT_EQ(output_.out, ".");
    EXPECT_NE(output_.err.find(c.problem + " where exactly one of each is needed; the country list was left as it was"),
              std::string::npos)
        << output_.err;
    EXPECT_EQ(std::count(output_.err.begin(), output_.err.end(), '\n'), 1) << output_.err;
  }
}

TEST_F(CountryListTest, AMissingListEndsTheProgramWithAnEmptyList) {
  std::filesystem::create_directory("database");
  EXPECT_EXIT(PatchCountryList(), testing::ExitedWithCode(1), "error!!!$");
  EXPECT_EQ(ReadFile("database/countries.sav"), "");
}

// The list may be emptied only once its content lies in the backup.
TEST_F(CountryListTest, AListThatCannotBeMovedStaysUntouched) {
  const std::string list = Crlf(Join({kSanMarino, kNetherlands}));
  WriteFile("database/countries.sav", list);
  WriteFile("database/bak", "a plain file where the backup directory belongs");
  EXPECT_EXIT(PatchCountryList(), testing::ExitedWithCode(1), "could not be moved.*left as it was\\.\n+error!!!$");
  EXPECT_EQ(ReadFile("database/countries.sav"), list);

  std::filesystem::remove("database/bak");
  WriteFile("database/bak/countries.sav", "left by an earlier run\r\n");
  EXPECT_EXIT(PatchCountryList(), testing::ExitedWithCode(1), "error!!!$");
  EXPECT_EQ(ReadFile("database/countries.sav"), list);
  EXPECT_EQ(ReadFile("database/bak/countries.sav"), "left by an earlier run\r\n");
}

TEST_F(CountryListTest, LeftoversOfAnEarlierRunAreUsed) {
  WriteFile("database/bak/other.sav", "x");
  WriteFile("database/countries.sav", Crlf(Join({kSanMarino, kNetherlands})));
  RunCaptured(PatchCountryList);
  EXPECT_EQ(ReadFile("database/countries.sav"), Crlf(Join({kNetherlands, kSanMarino})));

  // A list left only in its backup is rewritten from it.
  std::filesystem::remove("database/countries.sav");
  RunCaptured(PatchCountryList);
  EXPECT_EQ(ReadFile("database/countries.sav"), Crlf(Join({kNetherlands, kSanMarino})));
}

}  // namespace
