// GetCapabilityHeader: read and print the header of the first (or a given) PCI capability.
#include "caps/capability_messages.h"
#include "caps/console.h"
#include "caps/pci_registers.h"
#include "config/config_access.h"
#include "device/device_record.h"

VEXO_API VEXO_STATUS_t GetCapabilityHeader(VEXO_DEVICE_HANDLE_t dev,
                                           PCI_CAPABILITY_HEADER_t* header, unsigned int offset) {
  using namespace vexo;
  if (dev == nullptr || header == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  const device_record& record = *record_from_handle(dev);
  const uint16_t status =
      static_cast<uint16_t>(record.config[reg::status] | (record.config[reg::status + 1] << 8));
  if ((status & reg::status_capabilities_list) == 0) return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;

  uint8_t pointer = static_cast<uint8_t>(offset & 0xFF);
  if (offset == 0) {
    uint32_t length = 1;
    if (read_device_config(dev, &pointer, reg::capabilities_pointer, &length) !=
        VEXO_STATUS_SUCCESS) {
      pointer = 0;
    }
  }
  const uint32_t aligned = pointer & reg::capability_pointer_mask;
  say(cap_message::header_pointer, aligned);
  if (aligned < reg::pci_list_first) return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;

  uint32_t length = sizeof *header;
  const VEXO_STATUS_t read = read_device_config(dev, header, pointer, &length);
  say(cap_message::header_type, header->id);
  say(cap_message::header_next, header->next);
  return read;
}
