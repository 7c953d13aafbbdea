// Where the line ends, and the bytes a rewrite watches for, lie in a block of
// 64 bytes of text, as bit masks, with the bit operations to read them.
#pragma once

#include <cstdint>

struct BlockMasks {
  std::uint64_t lineFeeds;        // bit i set: byte i is LF
  std::uint64_t carriageReturns;  // bit i set: byte i is CR
  std::uint64_t watched;          // bit i set: byte i is the watched byte
  std::uint64_t endOfInput;       // bit i set: byte i is Ctrl-Z (0x1A)
};

// The masks of the 64 bytes at `from`: see below.

// Index of the lowest and of the highest set bit of a non-zero mask.
inline int LowestBitIndex(std::uint64_t mask) {
#if defined(__GNUC__)
  return __builtin_ctzll(mask);
#else
  int index = 0;
  for (; (mask & 1) == 0; mask >>= 1) ++index;
  return index;
#endif
}
inline int HighestBitIndex(std::uint64_t mask) {
#if defined(__GNUC__)
  return 63 - __builtin_clzll(mask);
#else
  int index = 63;
  for (; (mask >> 63) == 0; mask <<= 1) --index;
  return index;
#endif
}

// The lowest set bit alone; 0 for 0.
inline std::uint64_t LowestBit(std::uint64_t mask) { return mask & (~mask + 1); }

// Number of set bits.
inline int BitCount(std::uint64_t mask) {
  mask -= (mask >> 1) & 0x5555555555555555ull;
  mask = (mask & 0x3333333333333333ull) + ((mask >> 2) & 0x3333333333333333ull);
  mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((mask * 0x0101010101010101ull) >> 56);
}

// SSE2 is part of every x86-64 processor; elsewhere eight bytes are tested at
// a time in a 64-bit word.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VANDORIL_LINE_MASKS_SSE2 1
#endif

#if defined(VANDORIL_LINE_MASKS_SSE2)

namespace line_masks_detail {

// Bit k set where byte k of the 16 in `bytes` equals the one in `byte`.
inline std::uint64_t Equal16(__m128i bytes, __m128i byte) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, byte))) & 0xFFFFu);
}

}  // namespace line_masks_detail

inline BlockMasks ScanBlock(const char* from, char watched) {
  using line_masks_detail::Equal16;
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i watchedByte = _mm_set1_epi8(watched);
  const __m128i ctrlZ = _mm_set1_epi8(0x1A);
  const __m128i* at = reinterpret_cast<const __m128i*>(from);
  const __m128i a = _mm_loadu_si128(at), b = _mm_loadu_si128(at + 1);
  const __m128i c = _mm_loadu_si128(at + 2), d = _mm_loadu_si128(at + 3);
  return BlockMasks{
      Equal16(a, lineFeed) | Equal16(b, lineFeed) << 16 | Equal16(c, lineFeed) << 32 | Equal16(d, lineFeed) << 48,
      Equal16(a, carriageReturn) | Equal16(b, carriageReturn) << 16 | Equal16(c, carriageReturn) << 32 |
          Equal16(d, carriageReturn) << 48,
      Equal16(a, watchedByte) | Equal16(b, watchedByte) << 16 | Equal16(c, watchedByte) << 32 |
          Equal16(d, watchedByte) << 48,
      Equal16(a, ctrlZ) | Equal16(b, ctrlZ) << 16 | Equal16(c, ctrlZ) << 32 | Equal16(d, ctrlZ) << 48,
  };
}

#else

namespace line_masks_detail {

// One bit per byte of `word` (byte k in bits 8k to 8k+7) that equals the byte
// broadcast in `pattern`, byte k giving bit k.
inline std::uint64_t EqualBytes(std::uint64_t word, std::uint64_t pattern) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t x = word ^ pattern;                     // equal bytes become zero
  const std::uint64_t high = ~(((x & kLow7) + kLow7) | x | kLow7);  // the high bit of each zero byte
  return ((high >> 7) * 0x0102040810204080ull) >> 56;
}

}  // namespace line_masks_detail

inline BlockMasks ScanBlock(const char* from, char watched) {
  const auto* b = reinterpret_cast<const unsigned char*>(from);
  const std::uint64_t ones = 0x0101010101010101ull;
  BlockMasks masks{0, 0, 0, 0};
  for (int part = 0; part < 8; ++part, b += 8) {
    std::uint64_t word = 0;  // b[0] in the lowest bits, whatever the byte order
    for (int i = 7; i >= 0; --i) word = word << 8 | b[i];
    masks.lineFeeds |= line_masks_detail::EqualBytes(word, ones * '\n') << (8 * part);
    masks.carriageReturns |= line_masks_detail::EqualBytes(word, ones * '\r') << (8 * part);
    masks.watched |= line_masks_detail::EqualBytes(word, ones * static_cast<unsigned char>(watched)) << (8 * part);
    masks.endOfInput |= line_masks_detail::EqualBytes(word, ones * 0x1A) << (8 * part);
  }
  return masks;
}

#endif
