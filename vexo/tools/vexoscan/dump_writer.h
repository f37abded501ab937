// A dump of what the framework reads: each function's configuration bytes in the text
// layout `lspci -n -x` prints, so that a station or a machine can be saved and replayed.
#pragma once

#include <string>

#include "vexo.h"

namespace vexoscan {

// One function as a dump holds it: the header line "BB:DD.F CCCC: VVVV:DDDD" (with
// " (rev RR)" when the revision is not 0), then the bytes the framework reads, from offset 0
// up to the first 16-byte line it cannot read (all 4096 where it reads them, 256 for a
// conventional function, 64 on sysfs without root: what `lspci -xxxx` gives there). Empty
// when not even the first line can be read.
std::string dump_function(VEXO_DEVICE_HANDLE_t dev);

}  // namespace vexoscan
