// The capability length tables.
#include "caps/capability_lengths.h"

#include <cstdio>

#include "caps/capability_messages.h"

namespace vexo {

VEXO_STATUS_t pci_capability_length(uint32_t id, uint32_t* length) {
  *length = 0;
  switch (id) {
    case 0x01: *length = 8; return VEXO_STATUS_SUCCESS;   // power management
    case 0x02:                                            // AGP
    case 0x03:                                            // VPD
    case 0x04: return VEXO_STATUS_UNSUPPORTED_PARAMETER;  // slot identification
    case 0x05: *length = 20; return VEXO_STATUS_SUCCESS;  // MSI
    case 0x06: case 0x07: case 0x08: case 0x09: case 0x0A: case 0x0B: case 0x0C:
      return VEXO_STATUS_SUCCESS;  // vendor specific (0x09) and others: no fixed length
    case 0x10: *length = 36; return VEXO_STATUS_SUCCESS;  // PCI Express
    case 0x11: return VEXO_STATUS_SUCCESS;                // MSI-X
    default:
      std::printf(cap_message::unknown_capability, static_cast<int>(id));
      std::fflush(stdout);
      return VEXO_STATUS_SUCCESS;
  }
}

VEXO_STATUS_t extended_capability_length(uint32_t id, uint32_t* length) {
  switch (id) {
    case 0x0001: *length = 60; return VEXO_STATUS_SUCCESS;  // advanced error reporting
    case 0x0002: *length = 28; return VEXO_STATUS_SUCCESS;  // virtual channel
    case 0x0003: *length = 12; return VEXO_STATUS_SUCCESS;  // device serial number
    case 0x0004: *length = 24; return VEXO_STATUS_SUCCESS;  // power budgeting
    default: *length = 0; return VEXO_STATUS_INVALID_PARAMETER;
  }
}

}  // namespace vexo
