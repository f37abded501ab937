// zamdiag: service work on the card's USB controller, one action per run.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace zamdiag {

// Runs the tool with its arguments (without the program name): parse, open the device,
// run the first action that applies, close. Returns the run's status (see tool_context.h);
// `now` gives the status dump's time.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::function<platform::local_time()>& now = platform::local_now);

// The process exit code of a status. Windows: the whole status (-1, -2 as they are).
// POSIX, where a caller sees only the low byte: that byte, and 0x80 for a failure whose low
// byte is 0, so that no failure reads as success.
int exit_code(int status);

}  // namespace zamdiag
