// Standard input for the terminal dialogs: waiting for typed bytes with a time-out.
#pragma once

#include <cstddef>

namespace platform::detail {

inline constexpr long console_nothing_yet = -1;

// Waits up to wait_ms for input and reads what is there into buffer: the byte count,
// 0 at end of input or on a read error, console_nothing_yet when nothing came in time.
long read_console_input(char* buffer, std::size_t size, int wait_ms);

// Whether standard input is a terminal (a console on Windows).
bool standard_input_is_terminal();

}  // namespace platform::detail
