// The link delay scan (-t): steps the receive delay of the linked port across its range
// and scores each position by sampling.
#pragma once

#include "tool_context.h"

namespace zamdiag {

// A step's status is polled at most this often; a sweep in one direction takes at most
// this many steps. Both bound a card that never answers or never ends its range.
inline constexpr int max_step_polls = 1000;
inline constexpr int max_sweep_steps = 256;
inline constexpr int samples_per_step = 10;

int delay_scan(tool_context& tool);

}  // namespace zamdiag
