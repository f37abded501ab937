// The station's wiring of a port: what its PCI Express Capabilities register says it is.
#pragma once

#include <cstdint>

#include "base/hierarchy.h"

namespace zamsim {

// Straps the Device/Port Type field (and Slot Implemented) of a script device's PCI Express
// capability; false when the device has none.
bool strap_port_type(hierarchy& tree, int script_device, uint32_t type, bool slot_implemented);

}  // namespace zamsim
