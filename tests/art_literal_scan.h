// The artwork scan done the slow, literal way, for the block scanner to match:
// a byte at a time; at a pattern's first byte the longest such pattern's other
// bytes are read in one call; the input is repositioned after a mismatch or a
// shorter match.  Returns the dots (one per replacement and, when counting,
// per 1,000,000 loop passes); leaves the pass counter in `*passes`.
#pragma once

#include <algorithm>

#include "archives/block_scanner.h"

inline std::size_t LiteralScan(std::istream& in, std::ostream& out, const std::vector<SubstitutionRule>& rules,
                               bool countPasses, unsigned* passes = nullptr) {
  std::size_t dots = 0;
  for (unsigned counter = 0;;) {
    if (countPasses && ++counter == 1000000) ++dots, counter = 0;
    if (passes != nullptr) *passes = counter;
    char candidate[16];
    if (!in.get(candidate[0])) return dots;
    std::streamsize lookAhead = 0;
    for (const SubstitutionRule& rule : rules)
      if (rule.pattern[0] == candidate[0]) lookAhead = std::max<std::streamsize>(lookAhead, rule.pattern.size() - 1);
    const std::streampos resume = in.tellg();
    in.read(candidate + 1, lookAhead);
    const std::string_view read(candidate, 1 + static_cast<std::size_t>(in.gcount()));
    in.clear();  // a candidate cut short by the end is tested as it is
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](auto& r) { return read.substr(0, r.pattern.size()) == r.pattern; });
    const bool matched = rule != rules.end();
    const std::string_view written = matched ? rule->replacement : read.substr(0, 1);
    out.write(written.data(), static_cast<std::streamsize>(written.size()));
    in.seekg(resume + static_cast<std::streamoff>(matched ? rule->pattern.size() - 1 : 0));
    dots += matched;
  }
}
