// Port type straps.
#include "base/port_straps.h"

#include "base/pcie_regs.h"

namespace zamsim {

bool strap_port_type(hierarchy& tree, int script_device, uint32_t type, bool slot_implemented) {
  using namespace pcie;
  const uint16_t cap = tree.pcie_capability(script_device);
  if (cap == 0) return false;
  // Both fields sit in the PCI Express Capabilities register, the upper half of the
  // capability's first dword.
  const uint32_t value = (type << 4) | (slot_implemented ? pcie_caps_slot_implemented : 0);
  return tree.strap(script_device, cap, value << 16, uint32_t{pcie_caps_port_type | pcie_caps_slot_implemented} << 16);
}

}  // namespace zamsim
