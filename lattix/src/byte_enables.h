// How first-dword byte enables split into register accesses (at most two per request).
#pragma once

#include <cstdint>

namespace lattix_byte_enables {

struct access {
  uint8_t byteOffset;  // from the dword's offset
  uint8_t width;       // 1, 2 or 4; 0 = no access
};

struct accessPlan {
  access steps[2];
};

// Contiguous enabled bytes go as one access (no 3-byte accesses exist), in the order in
// which the firmware test tool has always applied them; index = byte enables 0..15.
constexpr accessPlan kPlans[16] = {
    {{{0, 0}, {0, 0}}},  // 0: nothing
    {{{0, 1}, {0, 0}}},  // 1
    {{{1, 1}, {0, 0}}},  // 2
    {{{0, 2}, {0, 0}}},  // 3
    {{{2, 1}, {0, 0}}},  // 4
    {{{2, 1}, {0, 1}}},  // 5
    {{{1, 2}, {0, 0}}},  // 6
    {{{1, 2}, {0, 1}}},  // 7
    {{{3, 1}, {0, 0}}},  // 8
    {{{3, 1}, {0, 1}}},  // 9
    {{{3, 1}, {1, 1}}},  // 10
    {{{3, 1}, {0, 2}}},  // 11
    {{{2, 2}, {0, 0}}},  // 12
    {{{2, 2}, {0, 1}}},  // 13
    {{{1, 2}, {3, 1}}},  // 14
    {{{0, 4}, {0, 0}}},  // 15
};

}  // namespace lattix_byte_enables
