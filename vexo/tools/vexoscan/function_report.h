// One line per function the framework finds: position, IDs, header type, port type, parent
// and the capability list as the first/next walk reports it.
#pragma once

#include <string>

#include "vexo.h"

namespace vexoscan {

// The column titles printed above the lines.
std::string report_heading();

// Describes one device record; opens it to learn its parent (and closes that parent again).
std::string report_line(VEXO_DEVICE_HANDLE_t dev);

// The capabilities as "offset:id(length)" items separated by blanks, "(none)" when the walk
// finds none, and the status that ended it when that was not the end of the list.
std::string capability_list(VEXO_DEVICE_HANDLE_t dev);

}  // namespace vexoscan
