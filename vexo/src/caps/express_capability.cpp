// The device's PCI Express capability.
#include "caps/express_capability.h"

namespace vexo {

VEXO_STATUS_t read_express_capability(VEXO_DEVICE_HANDLE_t dev, PCIE_CAPABILITY_STRUCT_t* record) {
  return HelpGetPCICapability(dev, VEXO_PCI_CAP_PCI_EXPRESS, 0, 0, record, nullptr);
}

}  // namespace vexo
