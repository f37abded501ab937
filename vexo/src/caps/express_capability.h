// The device's PCI Express capability, as discovery, the walk and link control ask for it.
#pragma once

#include "vexo.h"

namespace vexo {

// The first PCI Express capability of the PCI list copied into *record (may be null);
// the PCI list search's status.
VEXO_STATUS_t read_express_capability(VEXO_DEVICE_HANDLE_t dev, PCIE_CAPABILITY_STRUCT_t* record);

// Its Device/Port Type field.
inline uint32_t port_type_of(const PCIE_CAPABILITY_STRUCT_t& capability) {
  return (capability.capabilities >> 4) & 0xF;
}

}  // namespace vexo
