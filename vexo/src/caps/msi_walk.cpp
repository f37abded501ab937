// The MSI calls: walk every MSI capability one search at a time and count those of one
// addressing kind (32-bit or 64-bit message address).
#include <bitset>
#include <cstring>

#include "caps/capability_handle.h"
#include "caps/pci_registers.h"
#include "vexo.h"

namespace vexo {
namespace {

// Both MSI records are 20 bytes: the length copied for an MSI capability.
constexpr uint32_t msi_copy_size = sizeof(PCI_MSI_CAPABILITY_32_STRUCT_t);

VEXO_STATUS_t count_msi_of_kind(VEXO_DEVICE_HANDLE_t dev, bool want_64bit, void* record,
                                VEXO_CAP_HANDLE_t* cap) {
  if (cap != nullptr) *cap = nullptr;
  uint8_t instance[msi_copy_size] = {};
  VEXO_CAP_HANDLE_t found = nullptr;
  VEXO_STATUS_t status = HelpGetPCICapability(dev, VEXO_PCI_CAP_MSI, 0, 0, instance, &found);
  if (status != VEXO_STATUS_SUCCESS) return status;

  // Each search starts afresh, so the walk itself remembers where it has been: an MSI
  // capability that points back to an earlier one would otherwise be counted forever.
  std::bitset<reg::pci_list_limit + 1> visited;
  uint32_t counted = 0;
  VEXO_CAP_HANDLE_t kept = nullptr;
  for (;;) {
    const uint32_t offset = capability_from_handle(found)->offset;
    if (visited.test(offset)) {
      free_capability(found);
      status = VEXO_STATUS_INVALID_PARAMETER;
      break;
    }
    visited.set(offset);
    const uint16_t control = static_cast<uint16_t>(instance[reg::msi_message_control] |
                                                   (instance[reg::msi_message_control + 1] << 8));
    if (((control & reg::msi_64bit_capable) != 0) == want_64bit) {
      ++counted;
      if (record != nullptr) std::memcpy(record, instance, msi_copy_size);
      free_capability(kept);
      kept = found;
    } else {
      free_capability(found);
    }
    const uint32_t next = instance[1] & reg::capability_pointer_mask;
    if (next == 0) break;
    found = nullptr;
    if (HelpGetPCICapability(dev, VEXO_PCI_CAP_MSI, next, 0, instance, &found) !=
        VEXO_STATUS_SUCCESS) {
      break;
    }
  }
  if (status != VEXO_STATUS_SUCCESS) {
    free_capability(kept);
    return status;
  }
  if (cap != nullptr) {
    *cap = kept;
  } else {
    free_capability(kept);
  }
  if (counted == 0) return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
  return counted == 1 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND;
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t Get32BitMSICapability(VEXO_DEVICE_HANDLE_t dev,
                                             PCI_MSI_CAPABILITY_32_STRUCT_t* record,
                                             VEXO_CAP_HANDLE_t* cap) {
  return vexo::count_msi_of_kind(dev, false, record, cap);
}

VEXO_API VEXO_STATUS_t Get64BitMSICapability(VEXO_DEVICE_HANDLE_t dev,
                                             PCI_MSI_CAPABILITY_64_STRUCT_t* record,
                                             VEXO_CAP_HANDLE_t* cap) {
  return vexo::count_msi_of_kind(dev, true, record, cap);
}
