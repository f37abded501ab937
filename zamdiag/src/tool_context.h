// What every action works with: the card, the output streams, and the statuses it ends with.
#pragma once

#include <ostream>

#include "card_port.h"

namespace zamdiag {

// Statuses of a run; the process exits with them whole on Windows, with their low byte on
// POSIX (-1 exits 255, -2 254).
namespace status {
inline constexpr int ok = 0;
inline constexpr int no_device = 1;
inline constexpr int failed = -1;     // usage, refused input, a failed request or file
inline constexpr int link_down = -2;  // the link check or delay scan found no link
}  // namespace status

struct tool_context {
  card_port& card;
  std::ostream& out;  // dumps, progress, results
  std::ostream& err;  // failure messages
};

}  // namespace zamdiag
