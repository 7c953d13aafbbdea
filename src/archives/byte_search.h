// Finding where a pattern could start, fast.
#pragma once

#include <cstddef>
#include <string_view>

// Index of the first i with i + 1 < size, data[i] one of `firsts` (1 or 2
// bytes) and data[i + 1] one of `seconds` (1 to 3 bytes); `size` when there
// is none.  Looks at 32 bytes at a time where the processor can.
std::size_t FindBytePair(const char* data, std::size_t size, std::string_view firsts, std::string_view seconds);
