// The block scanner against the literal byte-at-a-time scan: same bytes, same
// dots, whatever the block size and wherever a pattern falls.
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archives/art_rules.h"
#include "archives/block_scanner.h"
#include "archives/byte_search.h"
#include "art_literal_scan.h"
#include "test_support.h"

namespace {

struct Outcome {
  std::string bytes;
  std::size_t dots;
};

bool operator==(const Outcome& a, const Outcome& b) { return a.bytes == b.bytes && a.dots == b.dots; }

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << o.dots << " dots, " << o.bytes.size() << " bytes \"" << o.bytes.substr(0, 200) << "\"";
}

struct Step {
  const char* name;
  const LiteralStep& literal;
  const std::vector<SubstitutionRule>& rules;
};

std::vector<Step> Steps() {
  return {{"art_01", LiteralArt01(), Art01Rules()},
          {"art_02", LiteralArt02(), Art02Rules()},
          {"art_03", LiteralArt03(), Art03Rules()}};
}

Outcome Literal(const std::string& input, const Step& step) {
  std::istringstream in(input);
  std::ostringstream out;
  const std::size_t dots = LiteralScan(in, out, step.literal);
  return {out.str(), dots};
}

Outcome Blocks(const std::string& input, const Step& step, std::size_t blockSize) {
  std::istringstream in(input);
  std::ostringstream out;
  // The dots go to std::cout; catching them there is much cheaper than
  // redirecting the process's standard output for each of many thousand scans.
  std::ostringstream dots;
  std::streambuf* const console = std::cout.rdbuf(dots.rdbuf());
  ScanAndReplace(in, out, step.rules, step.literal.countsPasses, blockSize);
  std::cout.rdbuf(console);
  const std::string printed = dots.str();
  EXPECT_EQ(printed.find_first_not_of('.'), std::string::npos) << "stdout holds more than dots";
  return {out.str(), printed.size()};
}

// Patterns of every step, their near misses and lone trigger bytes.
const std::vector<std::string> kWords = {
    "country_41", "country_34", "country41", "country34", "g41", "g34", "sanmarino.", "niederlande.",
    "\\41.tpi", "\\34.tpi", "count", "country_4", "country_3", "country4", "country_", "countr", "g4", "g3",
    "sanmarino", "niederlande", "Niederlande.", "SanMarino.", "/41.tpi", "\\41.tp", "\\34.tp", "\\4", "c", "g",
    "s", "n", "\\", "ccountry41", "gg34", "country41g41", "sanmarino.niederlande.", "\\\\34.tpi"};

std::string RandomInput(std::mt19937& random, std::size_t length) {
  static const std::string alphabet = "cgsn\\0134._ountryiaemld.tp/x";
  std::string input;
  while (input.size() < length) {
    const unsigned choice = random() % 4;
    if (choice == 0) {
      input += kWords[random() % kWords.size()];
    } else if (choice == 1) {
      input += alphabet[random() % alphabet.size()];
    } else if (choice == 2) {
      input += static_cast<char>(random() % 256);
    } else {
      input += kWords[random() % 10];  // whole patterns, often back to back
    }
  }
  input.resize(length);
  return input;
}

TEST(ArtScanner, RandomInputsMatchTheLiteralScan) {
  std::mt19937 random(20240611);
  const std::size_t blockSizes[] = {1, 2, 3, 5, 11, 12, 13, 64, kScanBlockSize};
  for (int round = 0; round < 300; ++round) {
    const std::string input = RandomInput(random, random() % 400);
    for (const Step& step : Steps()) {
      const Outcome expected = Literal(input, step);
      for (std::size_t blockSize : blockSizes)
        ASSERT_EQ(Blocks(input, step, blockSize), expected) << step.name << " block " << blockSize << " input \""
                                                           << input << "\"";
    }
  }
}

TEST(ArtScanner, WordsAcrossEveryBlockBoundaryAndAtTheEnd) {
  std::mt19937 random(7);
  for (const std::size_t blockSize : {std::size_t{16}, std::size_t{13}}) {
    for (const std::string& word : kWords) {
      for (std::size_t offset = 0; offset <= 2 * blockSize + 1; ++offset) {
        const std::string filler = RandomInput(random, offset);
        for (const std::string& input :
             {filler + word + "xyz" + filler, std::string(offset, 'x') + word, filler + word,
              filler + word + word.substr(0, word.size() / 2)}) {
          for (const Step& step : Steps())
            ASSERT_EQ(Blocks(input, step, blockSize), Literal(input, step))
                << step.name << " block " << blockSize << " input \"" << input << "\"";
        }
      }
    }
  }
}

TEST(ArtScanner, ProgressDotsOverMillionsOfPasses) {
  std::mt19937 random(99);
  const std::string input = RandomInput(random, 2300000);
  const Step art01 = Steps()[0];
  const Outcome expected = Literal(input, art01);
  ASSERT_GT(expected.dots, 1000u);  // dense with replacements as well as passes
  for (std::size_t blockSize : {std::size_t{4093}, std::size_t{1000000}, kScanBlockSize})
    EXPECT_EQ(Blocks(input, art01, blockSize), expected) << "block " << blockSize;
}

// The progress dot shows the pass count only to the nearest million; put the
// pass count of a random input right at a dot's edge with a plain prefix, so
// that a single pass counted wrongly shows.
TEST(ArtScanner, PassCountExactToOnePass) {
  std::mt19937 random(5);
  const Step art01 = Steps()[0];
  for (int round = 0; round < 20; ++round) {
    const std::string input = RandomInput(random, random() % 3000);
    std::istringstream in(input);
    std::ostringstream out;
    std::uint32_t passes = 0;
    const std::size_t replacements = LiteralScan(in, out, art01.literal, &passes);
    const std::string atTheDot = std::string(1000000 - passes, 'x') + input;
    const std::string justBefore = atTheDot.substr(1);
    for (std::size_t blockSize : {std::size_t{509}, kScanBlockSize}) {
      ASSERT_EQ(Blocks(atTheDot, art01, blockSize).dots, replacements + 1) << "block " << blockSize << " \"" << input << "\"";
      ASSERT_EQ(Blocks(justBefore, art01, blockSize).dots, replacements) << "block " << blockSize << " \"" << input << "\"";
    }
  }
}

// Every position, both sides of the 32-byte rounds, bytes above 0x7F, and
// sets too large for the fast search.
TEST(ArtScanner, FindBytePairFindsTheFirstPairAnywhere) {
  for (std::size_t size = 0; size < 80; ++size) {
    for (std::size_t first = 0; first < size; ++first) {
      std::string data(size, 'a');
      data[first] = '\xE9';
      const std::size_t expected = first + 1 < size ? first : size;
      if (first + 1 < size) data[first + 1] = '4';
      if (first + 3 < size) data.replace(first + 2, 2, "g3");  // a later pair
      EXPECT_EQ(FindBytePair(data.data(), size, "g\xE9", "34"), expected) << size << " " << first;
      EXPECT_EQ(FindBytePair(data.data(), size, "\xE9gxyz", "34"), expected) << size << " " << first;
      if (first > 0) data[first - 1] = 'g';  // "g" + "\xE9" is no pair
      EXPECT_EQ(FindBytePair(data.data(), size, "g\xE9", "43o"), expected) << size << " " << first;
    }
  }
}

// Delivers `good` bytes, then fails the way a disk read error does.
class FailingBuffer : public std::streambuf {
 public:
  explicit FailingBuffer(std::string good) : good_(std::move(good)) { setg(good_.data(), good_.data(), good_.data() + good_.size()); }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string good_;
};

TEST(ArtScanner, ReadErrorEndsTheScanWithTheStreamBad) {
  FailingBuffer buffer(std::string(5000, 'g') + "41");
  std::istream in(&buffer);
  std::ostringstream out;
  testing::internal::CaptureStdout();
  ScanAndReplace(in, out, Art01Rules(), true, 1024);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(in.bad());
  EXPECT_LT(out.str().size(), 5002u);  // never reported as a whole archive
}

TEST(ArtScanner, WriteErrorStopsReadingTheRest) {
  std::istringstream in(std::string(100 * 1024, 'x'));
  std::ostream out(nullptr);  // bad from the start, like a full disk
  ScanAndReplace(in, out, Art03Rules(), false, 1024);
  EXPECT_EQ(in.tellg(), std::streampos(1024));
}

}  // namespace
