// The status dump (-s): version, DIP switches, modes, link and the FLASH mode images.
#pragma once

#include "platform/clock.h"
#include "tool_context.h"

namespace zamdiag {

// Prints the dump headed with `now`. A value that could not be read shows as "read failed"
// and the dump then ends with status::failed.
int status_dump(tool_context& tool, const platform::local_time& now);

}  // namespace zamdiag
