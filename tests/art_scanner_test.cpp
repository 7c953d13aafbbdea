// The block scanner against the literal byte-at-a-time scan: same bytes, same
// dots, whatever the block size and wherever a pattern falls.
#include <iostream>
#include <random>
#include <sstream>

#include "archives/art_rules.h"
#include "art_literal_scan.h"
#include "test_support.h"

namespace {

const std::vector<SubstitutionRule>* const kSets[] = {&Art01Rules(), &Art02Rules(), &Art03Rules()};
using Outcome = std::pair<std::string, std::size_t>;  // bytes written, dots printed

// The block scanner's outcome, or the literal scan's (its pass counter left in
// `*passes`) when `block` is 0.  Only art_01's rules count passes.
Outcome Scan(const std::string& input, int set, std::size_t block, unsigned* passes = nullptr) {
  std::istringstream in(input);
  std::ostringstream out, dots;
  const std::size_t literalDots = block == 0 ? LiteralScan(in, out, *kSets[set], set == 0, passes) : 0;
  if (block == 0) return {out.str(), literalDots};
  std::streambuf* const console = std::cout.rdbuf(dots.rdbuf());  // far cheaper than capturing stdout
  ScanAndReplace(in, out, *kSets[set], set == 0, block);
  std::cout.rdbuf(console);
  EXPECT_EQ(dots.str().find_first_not_of('.'), std::string::npos) << "only dots are printed";
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

TEST(ArtScanner, MatchesTheLiteralScanAndUndoesItself) {
  std::mt19937 random(20240611);
  std::vector<std::string> inputs;
  for (int round = 0; round < 300; ++round) inputs.push_back(RandomInput(random, random() % 400));
  for (std::size_t offset = 0; offset <= 33; ++offset)  // across small blocks' boundaries and at the end
    for (const std::string& word : kWords)
      for (const std::string& end : {std::string(), "xyz" + word.substr(0, word.size() / 2)})
        inputs.push_back(RandomInput(random, offset) + word + end);
  for (const std::string& input : inputs)
    for (int set : {0, 1, 2}) {
      const auto expected = Scan(input, set, 0);
      ASSERT_EQ(Scan(expected.first, set, 4096).first, input) << "the scan undoes itself";
      for (std::size_t block : {1, 2, 3, 5, 11, 12, 13, 16, 64, 4096})
        ASSERT_EQ(Scan(input, set, block), expected) << "block " << block << " rules " << set;
    }
}

// A dot per million passes, exact to one pass: a plain prefix puts the count
// of a random input right at the second dot's edge.
TEST(ArtScanner, ProgressDotsExactToOnePass) {
  std::mt19937 random(99);
  for (int round = 0; round < 10; ++round) {
    const std::string input = RandomInput(random, random() % 3000);
    unsigned passes = 0;
    const std::size_t replacements = Scan(input, 0, 0, &passes).second;
    const std::string atTheDot = std::string(2000000 - passes, 'x') + input;
    EXPECT_EQ(Scan(atTheDot, 0, 509).second, replacements + 2) << input;
    EXPECT_EQ(Scan(atTheDot.substr(1), 0, kScanBlockSize).second, replacements + 1) << input;
  }
}

// Each rule set's edge cases, followed by near misses of all of them.
TEST(ArtScanner, EdgeCases) {
  const std::string nearMisses = "Country41 country_4 g4 Niederlande. niederlande SanMarino. /41.tpi \\41_tpi count";
  const struct { int set; std::string before, after; std::size_t dots; } cases[] = {
      {0, "img41.tga g410 country_410 country_34;country34 ccountry41x gg34 country41g41 abcg41 ",
       "img34.tga g340 country_340 country_41;country41 ccountry34x gg41 country34g34 abcg34 ", 10},
      {1, "niederlande.niederlande.x ssanmarino.nniederlande. ", "sanmarino.sanmarino.x sniederlande.nsanmarino. ", 4},
      {2, "flags\\34.tpi\\\\41.tpi ", "flags\\41.tpi\\\\34.tpi ", 2}};
  for (const auto& c : cases)
    for (std::size_t block : {0, 3, 4096})
      EXPECT_EQ(Scan(c.before + nearMisses, c.set, block), Outcome(c.after + nearMisses, c.dots));
}

}  // namespace
