#include "archives/block_scanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "archives/byte_search.h"

namespace {

constexpr std::uint64_t kPassesPerDot = 1000000;
constexpr std::size_t kAlignment = 4096;

// Index of the first rule whose whole pattern stands at `at`, where
// `available` bytes are present; rules.size() when none does.
std::size_t MatchAt(const char* at, std::size_t available, const std::vector<SubstitutionRule>& rules) {
  for (std::size_t k = 0; k < rules.size(); ++k) {
    const std::string_view pattern = rules[k].pattern;
    if (pattern.size() <= available && std::memcmp(at, pattern.data(), pattern.size()) == 0) return k;
  }
  return rules.size();
}

void AddOnce(std::string& set, char byte) {
  if (set.find(byte) == std::string::npos) set += byte;
}

}  // namespace

void ScanAndReplace(std::istream& in, std::ostream& out, const std::vector<SubstitutionRule>& rules,
                    bool countPasses, std::size_t blockSize, void (*afterBlock)()) {
  // A pattern can start only where one of its first bytes is followed by one
  // of its second bytes.  `keep` bytes after a position are enough to decide
  // whether a pattern starts there; that many are carried over to the next
  // block.
  std::string firsts, seconds;
  std::size_t keep = 1;
  for (const SubstitutionRule& rule : rules) {
    AddOnce(firsts, rule.pattern[0]);
    AddOnce(seconds, rule.pattern[1]);
    keep = std::max(keep, rule.pattern.size() - 1);
  }
  // Each block is read to a page boundary with the bytes carried over just
  // before it, so that the copies into and out of the buffer run aligned.
  std::vector<char> storage(keep + kAlignment + blockSize);
  const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(storage.data() + keep) % kAlignment;
  char* const block = storage.data() + keep + (kAlignment - misalignment) % kAlignment;

  // The byte-at-a-time scan reads each byte on its own once, except those of
  // a match after its first, and reads once more at the end of the input.
  // Each read is a pass, and every 1,000,000th prints a dot.
  std::uint64_t passes = 0;  // since the last progress dot
  auto addPasses = [&](std::size_t count) {
    if (!countPasses) return;
    passes += count;
    for (; passes >= kPassesPerDot; passes -= kPassesPerDot) std::cout.put('.');
  };

  std::size_t carried = 0;
  for (;;) {
    in.read(block, static_cast<std::streamsize>(blockSize));
    char* const data = block - carried;
    const std::size_t length = carried + static_cast<std::size_t>(in.gcount());
    if (in.bad()) break;
    const bool atEnd = length < carried + blockSize;
    // Before `limit` every byte that a pattern could need is in the buffer,
    // or the input ends first.
    const std::size_t limit = atEnd ? length : (length > keep ? length - keep : 0);

    std::size_t at = 0;
    std::size_t unwritten = 0;  // start of the span not yet written
    while (at < limit) {
      const std::size_t searchEnd = std::min(limit + 1, length);
      const std::size_t start =
          std::min(limit, at + FindBytePair(data + at, searchEnd - at, firsts, seconds));
      addPasses(start - at);
      at = start;
      if (at == limit) break;
      addPasses(1);
      const std::size_t rule = MatchAt(data + at, length - at, rules);
      if (rule == rules.size()) {
        ++at;
        continue;
      }
      // The matched bytes after the first are never read on their own.
      out.write(data + unwritten, static_cast<std::streamsize>(at - unwritten));
      out.write(rules[rule].replacement.data(), static_cast<std::streamsize>(rules[rule].replacement.size()));
      std::cout.put('.');
      at += rules[rule].pattern.size();
      unwritten = at;
    }
    out.write(data + unwritten, static_cast<std::streamsize>(at - unwritten));
    if (atEnd) addPasses(1);  // the read that meets the end
    std::cout.flush();        // the player sees progress block by block
    if (afterBlock != nullptr) afterBlock();
    if (atEnd || !out) break;

    carried = length - at;
    std::memmove(block - carried, data + at, carried);
  }
}
