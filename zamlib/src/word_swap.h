// Byte order of packet words: the card moves every 32-bit word most significant byte first.
#pragma once

#include <cstdint>

namespace zamlib {

inline uint32_t swap_word(uint32_t w) {
  return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}

// Swaps the words that hold `bytes` bytes (a partial last word counts), but never more
// whole words than fit in `capacity_bytes`. Returns the number of words swapped.
inline uint32_t swap_words(uint32_t* words, uint32_t bytes, uint32_t capacity_bytes) {
  uint32_t count = bytes / 4 + (bytes % 4 != 0 ? 1 : 0);
  if (count > capacity_bytes / 4) count = capacity_bytes / 4;
  for (uint32_t i = 0; i < count; ++i) words[i] = swap_word(words[i]);
  return count;
}

}  // namespace zamlib
