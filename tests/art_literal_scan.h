// The artwork archive scan done the slow, literal way: one byte at a time
// through a stream, the look-ahead read in one call, the input repositioned
// after every mismatch or shorter match, and a pass counter.  The tests hold
// the block scanner to it byte for byte and dot for dot.
#pragma once

#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

struct LiteralRule {
  std::string pattern;
  std::string replacement;
};

struct LiteralStep {
  std::vector<LiteralRule> rules;  // in the order tested
  std::string triggers;            // trigger bytes ...
  std::vector<int> lookAhead;      // ... and the bytes read after each
  bool countsPasses;
};

inline const LiteralStep& LiteralArt01() {
  static const LiteralStep step = {{{"country_41", "country_34"},
                                    {"country_34", "country_41"},
                                    {"country41", "country34"},
                                    {"country34", "country41"},
                                    {"g41", "g34"},
                                    {"g34", "g41"}},
                                   "cg",
                                   {9, 2},
                                   true};
  return step;
}

inline const LiteralStep& LiteralArt02() {
  static const LiteralStep step = {
      {{"sanmarino.", "niederlande."}, {"niederlande.", "sanmarino."}}, "sn", {9, 11}, false};
  return step;
}

inline const LiteralStep& LiteralArt03() {
  static const LiteralStep step = {{{"\\41.tpi", "\\34.tpi"}, {"\\34.tpi", "\\41.tpi"}}, "\\", {6}, false};
  return step;
}

// Scans `in` into `out`; returns the number of dots the scan prints, and
// leaves the pass counter's final value in `*passCounterAtEnd` when given.
inline std::size_t LiteralScan(std::istream& in, std::ostream& out, const LiteralStep& step,
                               std::uint32_t* passCounterAtEnd = nullptr) {
  std::size_t dots = 0;
  std::uint32_t passCounter = 0;
  char candidate[12];
  for (;;) {
    if (step.countsPasses && ++passCounter == 1000000) {
      ++dots;
      passCounter = 0;
    }
    const int next = in.get();
    if (next == std::char_traits<char>::eof()) break;
    const char byte = static_cast<char>(next);
    const std::size_t trigger = step.triggers.find(byte);
    if (trigger == std::string::npos) {
      out.put(byte);
      continue;
    }
    const std::streampos resume = in.tellg();
    candidate[0] = byte;
    in.read(candidate + 1, step.lookAhead[trigger]);
    const std::size_t length = 1 + static_cast<std::size_t>(in.gcount());
    in.clear();  // a candidate cut short by the end is tested as it is
    bool matched = false;
    for (const LiteralRule& rule : step.rules) {
      if (rule.pattern.size() <= length && std::memcmp(candidate, rule.pattern.data(), rule.pattern.size()) == 0) {
        ++dots;
        out.write(rule.replacement.data(), static_cast<std::streamsize>(rule.replacement.size()));
        in.seekg(resume + static_cast<std::streamoff>(rule.pattern.size() - 1));
        matched = true;
        break;
      }
    }
    if (!matched) {
      out.put(byte);
      in.seekg(resume);
    }
  }
  if (passCounterAtEnd != nullptr) *passCounterAtEnd = passCounter;
  return dots;
}
