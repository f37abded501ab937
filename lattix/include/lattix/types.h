// Plain records shared across the engine: BAR descriptors, hierarchy addresses, window kinds.
#pragma once

#include <cstdint>

// A BAR descriptor. On setBar: size = writable address bits (0 = not implemented).
// From getBar: size -1 = not implemented or not a BAR offset.
struct barData {
  int32_t size = 0;
  uint32_t low = 0;
  uint32_t high = 0;
  // flags[0] 64-bit, flags[1] memory (0 = I/O), flags[2] ignore overlap,
  // flags[3] prefetchable (filled by getBar only).
  uint8_t flags[4] = {0, 0, 0, 0};
};

// A location in the hierarchy; type1 is set when reaching it needs a Type 1 request.
struct address {
  uint32_t bus = 0;
  uint8_t device = 0;
  uint8_t function = 0;
  uint16_t offset = 0;
  uint8_t type1 = 0;
};

enum _BRIDGE_WINDOW_TYPE { IO_WINDOW = 0, MEM_WINDOW = 1, PREFETCH_WINDOW = 2 };
