// Finding where a pattern could start, fast.
#pragma once

#include <cstddef>
#include <string_view>

// Index of the first i with i + 1 < size, data[i] one of `firsts` and
// data[i + 1] one of `seconds`; `size` when there is none.  Looks at 32 bytes
// at a time where the processor can and the sets are small (at most 2 first
// and 3 second bytes), one byte at a time otherwise.
std::size_t FindBytePair(const char* data, std::size_t size, std::string_view firsts, std::string_view seconds);
