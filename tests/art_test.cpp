// The artwork archives: the block scanner against a plain scan, whatever the block size and wherever a pattern
// falls; the three steps in a game folder.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>

#include "archives/art_rules.h"
#include "archives/art_steps.h"
#include "test_support.h"

namespace {

const std::vector<SubstitutionRule>* const kSets[] = {&Art01Rules(), &Art02Rules(), &Art03Rules()};
using Outcome = std::pair<std::string, std::size_t>;  // bytes written, dots printed

// The plain scan: at each position the first rule whose pattern stands there is replaced, or else one byte copied.
// Each position visited is a pass, and so is the read that meets the end; art_01's rules (set 0) print a dot per
// million passes.  Leaves the number of passes in `*passes`.
Outcome Expected(const std::string& input, int set, std::size_t* passes = nullptr) {
  Outcome outcome;
  std::size_t visits = 1;
  for (std::size_t at = 0; at < input.size(); ++visits) {
    const auto rule = std::find_if(kSets[set]->begin(), kSets[set]->end(),
                                   [&](auto& r) { return input.compare(at, r.pattern.size(), r.pattern) == 0; });
    const bool matched = rule != kSets[set]->end();
    outcome.first += matched ? std::string(rule->replacement) : input.substr(at, 1);
    at += matched ? rule->pattern.size() : 1;
    outcome.second += matched;
  }
  if (passes != nullptr) *passes = visits;
  outcome.second += set == 0 ? visits / 1000000 : 0;
  return outcome;
}

// The scanner's outcome; it prints nothing but dots.
Outcome Scan(const std::string& input, int set, std::size_t block) {
  std::istringstream in(input);
  std::ostringstream out, dots;
  std::streambuf* const console = std::cout.rdbuf(dots.rdbuf());  // far cheaper than capturing stdout
  ScanAndReplace(in, out, *kSets[set], set == 0, block);
  std::cout.rdbuf(console);
  EXPECT_EQ(dots.str().find_first_not_of('.'), std::string::npos);
  return {out.str(), dots.str().size()};
}

// Patterns of every rule set (the first 10), near misses and lone first bytes.
const std::string kWords[] = {
    "country_41", "country_34", "country41", "country34", "g41", "g34", "sanmarino.", "niederlande.", "\\41.tpi",
    "\\34.tpi", "country_4", "country3", "countr", "g4", "sanmarino", "niederlande", "Niederlande.", "\\41.tp",
    "/41.tpi", "c", "g", "s", "n", "\\", "ccountry41", "country41g41", "sanmarino.niederlande.", "\\\\34.tpi"};

std::string RandomInput(std::mt19937& random, std::size_t length) {
  std::string input;
  while (input.size() < length) {
    const unsigned choice = random() % 4;  // any word, a pattern, a letter of theirs, any byte
    input += choice < 2 ? kWords[random() % (choice == 0 ? std::size(kWords) : 10)]
                        : std::string(1, choice == 2 ? "cgsn\\0134._ountryiaemld.tp/x"[random() % 28] : char(random()));
  }
  return input.substr(0, length);
}

// Every block size, patterns across small blocks' boundaries and at the end; progress dots exact to one pass, where
// a plain prefix puts the passes of a random input at the second dot's edge, and one before it.
TEST(ArtScanner, MatchesThePlainScanAndUndoesItself) {
  std::mt19937 random(20240611);
  std::vector<std::string> inputs;
  for (int round = 0; round < 300; ++round) inputs.push_back(RandomInput(random, random() % 400));
  for (std::size_t offset = 0; offset <= 33; ++offset)
    for (const std::string& word : kWords)
      for (const std::string& end : {std::string(), "xyz" + word.substr(0, word.size() / 2)})
        inputs.push_back(RandomInput(random, offset) + word + end);
  for (const std::string& input : inputs)
    for (int set : {0, 1, 2}) {
      const Outcome expected = Expected(input, set);
      ASSERT_EQ(Scan(expected.first, set, 4096).first, input) << "the scan undoes itself";
      for (std::size_t block : {1, 2, 3, 5, 11, 12, 13, 16, 64, 4096})
        ASSERT_EQ(Scan(input, set, block), expected) << "block " << block << " rules " << set;
    }
  for (int round = 0; round < 6; ++round) {
    std::size_t passes = 0;
    const std::string input = RandomInput(random, random() % 3000);
    Expected(input, 0, &passes);
    const std::string atTheDot = std::string(2000000 - passes, 'x') + input;
    for (const std::string& text : {atTheDot, atTheDot.substr(1)})
      ASSERT_EQ(Scan(text, 0, round % 2 ? 509 : kScanBlockSize), Expected(text, 0)) << input;
  }
}

// Each step its rules, with their edges and near misses after a million plain bytes: a dot as the step begins, one
// per replacement, for art_01 alone one per million passes.  The backup keeps the archive; the step undoes itself.
using ArtStepTest = GameFolderTest;
TEST_F(ArtStepTest, EachStepItsRulesDotsBackupAndUndo) {
  const std::string plain =
      std::string(1000000, 'x') + "Country41 g4 Niederlande. niederlande SanMarino. /41.tpi \\41_tpi ";
  const struct { void (*step)(); std::string archive, before, after, dots; } cases[] = {
      {PatchArt01, "art_01", "img41.tga g410 country_410 country_34;country34 ccountry41x gg34 country41g41 abcg41",
       "img34.tga g340 country_340 country_41;country41 ccountry34x gg41 country34g34 abcg34", std::string(12, '.')},
      {PatchArt02, "art_02", "niederlande.niederlande.x ssanmarino.nniederlande.",
       "sanmarino.sanmarino.x sniederlande.nsanmarino.", "....."},
      {PatchArt03, "art_03", "flags\\34.tpi\\\\41.tpi\r\n\x1A", "flags\\41.tpi\\\\34.tpi\r\n\x1A", "..."}};
  for (const auto& c : cases)
    for (const auto& [from, to] : {std::pair(c.before, c.after), std::pair(c.after, c.before)}) {
      std::filesystem::remove(c.archive + ".bak");
      WriteFile(c.archive + ".big", plain + from);
      EXPECT_EQ(Captured(c.step).first, c.dots) << c.archive;
      EXPECT_EQ(ReadFile(c.archive + ".big") + ReadFile(c.archive + ".bak"), plain + to + plain + from);
    }
}

}  // namespace
