// One line per function the framework finds: position, IDs, header type, port type, parent
// and the capability chain.
#pragma once

#include <string>

#include "vexo.h"

namespace vexoscan {

// The column titles printed above the lines.
std::string report_heading();

// Describes one device record: position, IDs, header type, port type, parent and the
// capability chain.
std::string report_line(VEXO_DEVICE_HANDLE_t dev);

}  // namespace vexoscan
