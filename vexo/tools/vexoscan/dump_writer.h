// A dump of what the framework reads: each function's configuration bytes in the text
// layout `lspci -n -x` prints, so that a station or a machine can be saved and replayed.
#pragma once

#include <string>

#include "vexo.h"

namespace vexoscan {

// One function as a dump holds it: the header line "BB:DD.F CCCC: VVVV:DDDD" (with
// " (rev RR)" when the revision is not 0), then the bytes the framework reads: all 4096
// when it reads them, else 256, else 64 (as `lspci -xxxx` gives them), else the 16-byte
// lines from offset 0 up to the first that cannot be read. Empty when not even the first
// line can be read.
std::string dump_function(VEXO_DEVICE_HANDLE_t dev);

}  // namespace vexoscan
