// How many bytes a found capability has, by list and ID.
#pragma once

#include <cstdint>

#include "vexo.h"

namespace vexo {

// PCI list: 0 with *length set (possibly 0), or VEXO_STATUS_UNSUPPORTED_PARAMETER for the
// refused IDs 0x02-0x04. Unknown IDs print "Unknown cap[%d]\n" and have length 0.
VEXO_STATUS_t pci_capability_length(uint32_t id, uint32_t* length);

// Extended list: 0 with *length set, or VEXO_STATUS_INVALID_PARAMETER for an ID not known.
VEXO_STATUS_t extended_capability_length(uint32_t id, uint32_t* length);

}  // namespace vexo
