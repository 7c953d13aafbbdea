// The byte-pattern scanner shared by the three artwork archive steps.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

// A byte string of the archive and the byte string written in its place.
struct SubstitutionRule {
  std::string_view pattern;
  std::string_view replacement;
};

// Bytes read from the input at a time.
constexpr std::size_t kScanBlockSize = std::size_t{1} << 20;

// Copies `in` to `out`, replacing pattern occurrences taken left to right
// without overlap: at each position the first of `rules` (in order) whose
// whole pattern starts there is replaced and the scan goes on after it; bytes
// of a replacement are never scanned.  Writes "." to standard output for each
// replacement and, when `countPasses`, one per 1,000,000 passes of the
// byte-at-a-time scan (one pass per byte read on its own: every byte outside
// the tails of matches, plus the final read at the end).  Reads `blockSize`
// bytes (at least 1) at a time into a buffer that is the only memory used; stops early,
// leaving the stream flags set, when reading `in` or writing `out` fails.
// Calls `afterBlock`, when given, each time a block has been handed to `out`.
// Patterns are at least 2 bytes long; the rules have at most 2 distinct first
// bytes and 3 distinct second bytes, as the steps' rules have.
void ScanAndReplace(std::istream& in, std::ostream& out, const std::vector<SubstitutionRule>& rules,
                    bool countPasses, std::size_t blockSize = kScanBlockSize, void (*afterBlock)() = nullptr);
