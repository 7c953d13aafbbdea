// Fast line rewriting of big text files: the shared input is streamed to the
// shared output in large chunks, and each line is rewritten in place where it
// lies in the chunk, for rewrites that never change a line's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "installer/shared_state.h"

// Larger than the buffers of the shared streams, so that they read and write
// the chunks directly.
constexpr std::size_t kLineStreamChunk = 1024 * 1024;

// True when the `size` bytes at `line` begin with, or are, the text `prefix`.
template <std::size_t N>
bool LineBeginsWith(const char* line, std::size_t size, const char (&prefix)[N]) {
  return size >= N - 1 && std::memcmp(line, prefix, N - 1) == 0;
}
template <std::size_t N>
bool LineIs(const char* line, std::size_t size, const char (&text)[N]) {
  return size == N - 1 && std::memcmp(line, text, N - 1) == 0;
}

// The eight bytes at `from` as one word, from[0] in its lowest bits whatever
// the machine's byte order, with the high bit of each byte that is LF set and
// every other bit clear.  (Compilers turn the assembly of the word into one
// load.)
inline std::uint64_t LineEndMask(const char* from) {
  const auto* b = reinterpret_cast<const unsigned char*>(from);
  const std::uint64_t word = std::uint64_t{b[0]} | std::uint64_t{b[1]} << 8 | std::uint64_t{b[2]} << 16 |
                             std::uint64_t{b[3]} << 24 | std::uint64_t{b[4]} << 32 | std::uint64_t{b[5]} << 40 |
                             std::uint64_t{b[6]} << 48 | std::uint64_t{b[7]} << 56;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t x = word ^ 0x0A0A0A0A0A0A0A0Aull;  // LF bytes become zero
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// The index of the lowest byte flagged in a non-zero LineEndMask().
inline std::size_t LowestFlaggedByte(std::uint64_t mask) {
  const std::uint64_t lowest = mask & (~mask + 1);
  return static_cast<std::size_t>((lowest >> 7) * 0x0001020304050607ull >> 56);
}

// Streams the whole of sharedInput to sharedOutput with the line ends of
// ReadTextLine() and WriteTextLine(): CR LF or a lone LF ends a line, a CR not
// followed by LF stays in its line, byte 0x1A ends the input, a last line
// without line end is a line, and every line is written followed by CR LF.
// Calls rewrite(char* line, std::size_t size) for each line in order; it may
// change the line's bytes in place, other than to LF, but not its length.
// Holds one chunk of `chunk` bytes, more only for a longer line.  Stops at a
// read error, which stays set for CloseStepFiles() to report.
template <typename Rewrite>
void StreamSharedLines(Rewrite&& rewrite, std::size_t chunk = kLineStreamChunk) {
  std::string buffer(chunk, '\0');
  std::size_t have = 0;  // bytes in the buffer: the unfinished line of the last chunk, then the new ones
  bool atEnd = false;
  auto write = [](const char* from, const char* to) {
    if (to > from) sharedOutput.write(from, to - from);
  };
  for (;;) {
    if (have == buffer.size()) buffer.resize(buffer.size() * 2);  // no line end in a whole buffer
    char* fresh = &buffer[have];
    sharedInput.read(fresh, static_cast<std::streamsize>(buffer.size() - have));
    std::size_t got = static_cast<std::size_t>(sharedInput.gcount());
    if (const void* ctrlZ = std::memchr(fresh, 0x1A, got)) {
      got = static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - fresh);
      atEnd = true;
    }
    if (!sharedInput.good()) atEnd = true;
    have += got;

    char* const end = &buffer[0] + have;
    char* line = &buffer[0];
    char* unwritten = line;  // everything before it has been written
    auto endLine = [&](char* lineEnd) {
      const bool crLf = lineEnd > line && lineEnd[-1] == '\r';
      rewrite(line, static_cast<std::size_t>(lineEnd - line) - (crLf ? 1 : 0));
      if (!crLf) {  // a lone LF becomes CR LF
        write(unwritten, lineEnd);
        write("\r\n", "\r\n" + 2);
        unwritten = lineEnd + 1;
      }
      line = lineEnd + 1;
    };
    // Eight bytes are tested at a time: the lines are mostly a few bytes long,
    // too short to call memchr for each of them.
    char* scan = line;
    for (; end - scan >= 8; scan += 8) {
      for (std::uint64_t mask = LineEndMask(scan); mask != 0; mask &= mask - 1) endLine(scan + LowestFlaggedByte(mask));
    }
    while (char* lineEnd = static_cast<char*>(std::memchr(scan, '\n', static_cast<std::size_t>(end - scan)))) {
      endLine(lineEnd);
      scan = lineEnd + 1;
    }

    if (atEnd) {
      if (line < end && !sharedInput.bad()) {  // a last line without line end
        rewrite(line, static_cast<std::size_t>(end - line));
        write(unwritten, end);
        write("\r\n", "\r\n" + 2);
      } else {
        write(unwritten, line);
      }
      return;
    }
    write(unwritten, line);
    have = static_cast<std::size_t>(end - line);
    std::memmove(&buffer[0], line, have);
  }
}
