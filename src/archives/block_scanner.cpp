#include "archives/block_scanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr std::uint64_t kPassesPerDot = 1000000;

// Finds the first byte in buffer[from, end) that is one of `triggers` and
// returns its index, or `end`.  `next` remembers per trigger the index last
// found for it (or `end`), which stays the answer while it is not before
// `from`; -1 marks an entry as unknown.
std::size_t FindTrigger(const char* buffer, std::size_t from, std::size_t end, const std::string& triggers,
                        std::vector<std::ptrdiff_t>& next) {
  std::size_t nearest = end;
  for (std::size_t k = 0; k < triggers.size(); ++k) {
    if (next[k] < static_cast<std::ptrdiff_t>(from)) {
      const void* found = std::memchr(buffer + from, triggers[k], end - from);
      next[k] = found != nullptr ? static_cast<const char*>(found) - buffer : static_cast<std::ptrdiff_t>(end);
    }
    nearest = std::min(nearest, static_cast<std::size_t>(next[k]));
  }
  return nearest;
}

// Index of the first rule whose whole pattern stands at `at`, where
// `available` bytes are present; rules.size() when none does.
std::size_t MatchAt(const char* at, std::size_t available, const std::vector<SubstitutionRule>& rules) {
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const std::string_view pattern = rules[k].pattern;
    if (pattern[0] == *at && pattern.size() <= available && std::memcmp(at, pattern.data(), pattern.size()) == 0)
      return k;
  }
  return rules.size();
}

}  // namespace

void ScanAndReplace(std::istream& in, std::ostream& out, const std::vector<SubstitutionRule>& rules,
                    bool countPasses, std::size_t blockSize) {
  blockSize = std::max<std::size_t>(blockSize, 1);
  // `keep` bytes after a position are enough to decide whether a pattern
  // starts there; that many are carried over from one block to the next.
  std::size_t keep = 0;
  std::string triggers;
  for (const SubstitutionRule& rule : rules) {
    keep = std::max(keep, rule.pattern.size() - 1);
    if (triggers.find(rule.pattern[0]) == std::string::npos) triggers += rule.pattern[0];
  }
  std::vector<char> buffer(keep + blockSize);
  std::vector<std::ptrdiff_t> nextTrigger(triggers.size());

  std::uint64_t passes = 0;  // since the last progress dot
  auto addPasses = [&](std::size_t count) {
    if (!countPasses) return;
    passes += count;
    for (; passes >= kPassesPerDot; passes -= kPassesPerDot) std::cout.put('.');
  };

  std::size_t carried = 0;
  for (;;) {
    in.read(buffer.data() + carried, static_cast<std::streamsize>(blockSize));
    const std::size_t length = carried + static_cast<std::size_t>(in.gcount());
    if (in.bad()) break;
    const bool atEnd = length < carried + blockSize;
    // Before `limit` every byte that a pattern could need is in the buffer,
    // or the input ends first.
    const std::size_t limit = atEnd ? length : (length > keep ? length - keep : 0);

    std::fill(nextTrigger.begin(), nextTrigger.end(), -1);
    std::size_t at = 0;
    std::size_t unwritten = 0;  // start of the span not yet written
    while (at < limit) {
      const std::size_t trigger = FindTrigger(buffer.data(), at, limit, triggers, nextTrigger);
      addPasses(trigger - at + (trigger < limit ? 1 : 0));  // each byte up to the trigger read alone
      at = trigger;
      if (at == limit) break;
      const std::size_t rule = MatchAt(buffer.data() + at, length - at, rules);
      if (rule == rules.size()) {
        ++at;
        continue;
      }
      // The matched bytes after the trigger are never read on their own.
      out.write(buffer.data() + unwritten, static_cast<std::streamsize>(at - unwritten));
      out.write(rules[rule].replacement.data(), static_cast<std::streamsize>(rules[rule].replacement.size()));
      std::cout.put('.');
      at += rules[rule].pattern.size();
      unwritten = at;
    }
    out.write(buffer.data() + unwritten, static_cast<std::streamsize>(at - unwritten));
    if (atEnd) addPasses(1);  // the read that meets the end
    std::cout.flush();        // the player sees progress block by block
    if (atEnd || !out) break;

    carried = length - at;
    std::memmove(buffer.data(), buffer.data() + at, carried);
  }
}
