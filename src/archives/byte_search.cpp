#include "archives/byte_search.h"

// SSE2 is part of every x86-64 processor; elsewhere the plain loop is used.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VANDORIL_SSE2 1
#endif

namespace {

std::size_t FindBytePairSlowly(const char* data, std::size_t from, std::size_t size, std::string_view firsts,
                               std::string_view seconds) {
  for (std::size_t i = from; i + 1 < size; ++i) {
    if (firsts.find(data[i]) != std::string_view::npos && seconds.find(data[i + 1]) != std::string_view::npos)
      return i;
  }
  return size;
}

#if defined(VANDORIL_SSE2)

// Index of the lowest set bit of a non-zero mask.
int LowestBit(unsigned mask) {
#if defined(__GNUC__)
  return __builtin_ctz(mask);
#else
  int index = 0;
  for (; (mask & 1u) == 0; mask >>= 1) ++index;
  return index;
#endif
}

// Bit k set where chunk byte k is one of the bytes broadcast in `set`.
__m128i AnyOf2(__m128i chunk, const __m128i* set) {
  return _mm_or_si128(_mm_cmpeq_epi8(chunk, set[0]), _mm_cmpeq_epi8(chunk, set[1]));
}
__m128i AnyOf3(__m128i chunk, const __m128i* set) {
  return _mm_or_si128(AnyOf2(chunk, set), _mm_cmpeq_epi8(chunk, set[2]));
}

// Bit k set where a pair starts at chunk byte k.
unsigned PairMask(const char* at, const __m128i* firsts, const __m128i* seconds) {
  const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(AnyOf2(here, firsts), AnyOf3(next, seconds))));
}

#endif

}  // namespace

std::size_t FindBytePair(const char* data, std::size_t size, std::string_view firsts, std::string_view seconds) {
  std::size_t i = 0;
#if defined(VANDORIL_SSE2)
  // Sets padded to full size by repeating a member.
  const __m128i first[] = {_mm_set1_epi8(firsts[0]), _mm_set1_epi8(firsts[firsts.size() - 1])};
  const __m128i second[] = {_mm_set1_epi8(seconds[0]), _mm_set1_epi8(seconds[seconds.size() / 2]),
                            _mm_set1_epi8(seconds[seconds.size() - 1])};
  // 32 bytes per round; the second load of a chunk reaches one byte further.
  for (; i + 33 <= size; i += 32) {
    const unsigned low = PairMask(data + i, first, second);
    const unsigned high = PairMask(data + i + 16, first, second);
    if ((low | high) != 0) return i + static_cast<std::size_t>(LowestBit(low | (high << 16)));
  }
#endif
  return FindBytePairSlowly(data, i, size, firsts, seconds);
}
