// Fast line rewriting of big text files: the shared input is streamed to the
// shared output in large chunks, each line is rewritten in place where it lies
// in the chunk (the rewrites never change a line's length), and runs of lines
// that the rewrite has no use for are passed over 64 bytes at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "database/line_masks.h"
#include "installer/shared_state.h"

// Larger than the buffers of the shared streams, so that they read and write
// the chunks directly.
constexpr std::size_t kLineStreamChunk = 1024 * 1024;

// What a rewrite returns: how many of the following lines it has no use for.
constexpr std::uint64_t kEveryLine = 0;
constexpr std::uint64_t kNoLine = UINT64_MAX;

// True when the `size` bytes at `line` begin with, or are, the text `prefix`.
template <std::size_t N>
bool LineBeginsWith(const char* line, std::size_t size, const char (&prefix)[N]) {
  return size >= N - 1 && std::memcmp(line, prefix, N - 1) == 0;
}
template <std::size_t N>
bool LineIs(const char* line, std::size_t size, const char (&text)[N]) {
  return size == N - 1 && std::memcmp(line, text, N - 1) == 0;
}

// Streams the whole of sharedInput to sharedOutput with the line ends of
// ReadTextLine() and WriteTextLine(): CR LF or a lone LF ends a line, a CR not
// followed by LF stays in its line, the first byte 0x1A ends the text (see
// NoteEndOfFileMark()), a last line without line end is a line, and every
// line is written followed by CR LF.
//
// Calls rewrite(char* line, std::size_t size, std::uint64_t passed) for the
// lines in order; it may change the line's bytes in place, other than to LF,
// but not its length.  It returns how many of the lines that follow it has no
// use for (kEveryLine: none); those are written as they are, without a call,
// except the ones that begin with the byte `watched` (neither CR, LF nor
// Ctrl-Z), and `passed` says how many lines were passed over since the
// previous call.
//
// Holds one chunk of `chunk` bytes in sharedLineBuffer, more only for a
// longer line.  Stops at a read error, which stays set for CloseStepFiles()
// to report.
template <typename Rewrite>
void StreamSharedLines(char watched, Rewrite&& rewrite, std::size_t chunk = kLineStreamChunk) {
  // The shared line buffer holds the chunk; it keeps its memory for the next
  // file.  Each byte is placed at the same offset within a memory page as
  // within a page of the file, so that the kernel's copies into and out of
  // the buffer run aligned.
  constexpr std::size_t kPage = 4096;
  std::string& buffer = sharedLineBuffer;
  std::size_t size = chunk;  // bytes of input held at most, unless a line is longer
  std::size_t have = 0;      // bytes held: the unfinished line of the last chunk, then the new ones
  std::size_t held = 0;      // where they are in the buffer
  std::uint64_t consumed = 0;  // bytes read from the input so far
  bool atEnd = false;
  std::uint64_t toPass = 0;  // following lines that the rewrite has no use for
  std::uint64_t passed = 0;  // lines passed over since the last call
  auto write = [](const char* from, const char* to) { sharedOutput.write(from, to - from); };
  // Calls the rewrite for a line of `length` bytes at `at` when it has a use
  // for the line, or passes the line over.
  auto visit = [&](char* at, std::size_t length) {
    if (toPass == 0 || (length != 0 && at[0] == watched)) {
      toPass = rewrite(at, length, passed);
      passed = 0;
    } else {
      --toPass;
      ++passed;
    }
  };
  for (;;) {
    if (have == size) size *= 2;  // no line end in a whole chunk
    if (buffer.size() < 2 * kPage + size) buffer.resize(2 * kPage + size);
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(buffer.data()) % kPage;
    const std::size_t start = (kPage - misalignment) % kPage + (consumed - have) % kPage;
    std::memmove(&buffer[start], &buffer[held], have);
    held = start;
    char* fresh = &buffer[start + have];
    sharedInput.read(fresh, static_cast<std::streamsize>(size - have));
    const std::size_t got = static_cast<std::size_t>(sharedInput.gcount());
    consumed += got;
    // A Ctrl-Z ends the input; it is looked for block by block below.
    if (!sharedInput.good()) atEnd = true;
    have += got;

    char* const begin = &buffer[held];
    char* end = begin + have;
    // Ends the text at the first Ctrl-Z; CloseStepFiles() copies the bytes
    // from there on as they are.
    auto endAtMark = [&](char* mark) {
      NoteEndOfFileMark(consumed - have + static_cast<std::uint64_t>(mark - begin));
      end = mark;
      atEnd = true;
    };
    char* line = begin;       // where the current line begins
    char* unwritten = begin;  // everything before it has been written
    // Ends the current line at `lineEnd`, its LF or, for a last line without
    // line end, `end`.
    auto endLine = [&](char* lineEnd) {
      const bool lineFeed = lineEnd != end;
      const bool crLf = lineFeed && lineEnd > line && lineEnd[-1] == '\r';
      const std::size_t length = static_cast<std::size_t>(lineEnd - line) - (crLf ? 1 : 0);
      visit(line, length);
      if (!crLf) {  // a lone LF, or none at all, becomes CR LF
        write(unwritten, lineEnd);
        write("\r\n", "\r\n" + 2);
        unwritten = lineEnd + (lineFeed ? 1 : 0);
      }
      line = lineEnd + (lineFeed ? 1 : 0);
    };

    char* scan = begin;
    for (; end - scan >= 64; scan += 64) {
      const BlockMasks masks = ScanBlock(scan, watched);
      if (masks.endOfInput != 0) {  // the rest of the block is for the loop below
        endAtMark(scan + LowestBitIndex(masks.endOfInput));
        break;
      }
      std::uint64_t ends = masks.lineFeeds;  // the LFs of the block not dealt with yet
      if (ends == 0) continue;
      // The LFs that cannot be passed over in bulk: lone ones, which become
      // CR LF, and those that end a line beginning with the watched byte.
      const std::uint64_t afterCr = masks.carriageReturns << 1 | (scan > begin && scan[-1] == '\r' ? 1 : 0);
      std::uint64_t stops = ends & ~afterCr;
      if (line[0] == watched) stops |= LowestBit(ends);
      for (std::uint64_t starts = masks.watched & ends << 1; starts != 0; starts &= starts - 1) {
        stops |= LowestBit(ends & ~(LowestBit(starts) - 1));
      }
      while (ends != 0) {
        if (toPass != 0) {
          // Pass over the lines before the next stop, toPass at most.
          std::uint64_t passing = stops != 0 ? ends & (LowestBit(stops) - 1) : ends;
          std::uint64_t count = static_cast<std::uint64_t>(BitCount(passing));
          if (count > toPass) {  // only the lowest toPass of them
            std::uint64_t lowest = 0;
            for (std::uint64_t n = toPass; n != 0; --n) lowest |= LowestBit(passing & ~lowest);
            passing = lowest;
            count = toPass;
          }
          if (passing != 0) {
            toPass -= count;
            passed += count;
            line = scan + HighestBitIndex(passing) + 1;
            ends &= ~passing;
            continue;
          }
        }
        const std::uint64_t next = LowestBit(ends);
        ends ^= next;
        stops &= ~next;
        char* const lineEnd = scan + LowestBitIndex(next);
        if (lineEnd == line || lineEnd[-1] != '\r') {
          endLine(lineEnd);
          continue;
        }
        // A line ended by CR LF, the usual case, without the detour through
        // endLine.
        visit(line, static_cast<std::size_t>(lineEnd - line) - 1);
        line = lineEnd + 1;
      }
    }
    if (void* ctrlZ = std::memchr(scan, 0x1A, static_cast<std::size_t>(end - scan))) endAtMark(static_cast<char*>(ctrlZ));
    while (char* lineEnd = static_cast<char*>(std::memchr(scan, '\n', static_cast<std::size_t>(end - scan)))) {
      endLine(lineEnd);
      scan = lineEnd + 1;
    }

    if (atEnd) {
      if (line < end && !sharedInput.bad()) endLine(end);
      write(unwritten, line);
      return;
    }
    write(unwritten, line);
    have = static_cast<std::size_t>(end - line);
    held = static_cast<std::size_t>(line - &buffer[0]);
  }
}
