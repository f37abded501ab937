// Searching the PCI capability list (from the pointer at 0x34) for one capability ID.
#include <bitset>
#include <cstring>
#include <vector>

#include "caps/capability_handle.h"
#include "caps/capability_lengths.h"
#include "caps/capability_messages.h"
#include "caps/console.h"
#include "caps/pci_registers.h"
#include "config/config_access.h"
#include "device/device_record.h"

namespace vexo {
namespace {

using namespace cap_message;

uint16_t status_register(const device_record& record) {
  return static_cast<uint16_t>(record.config[reg::status] | (record.config[reg::status + 1] << 8));
}

// The first offset of the walk, or a failure status.
VEXO_STATUS_t first_offset(const device_record& record, uint32_t start_offset,
                           uint32_t* offset) {
  if (start_offset != 0) {
    if (start_offset > reg::pci_list_limit) {
      say(pci_start_outside_legacy, pci_search, source_file, __LINE__,
          static_cast<int>(start_offset));
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    *offset = start_offset;
    return VEXO_STATUS_SUCCESS;
  }
  const uint8_t layout = record.config[reg::header_type] & reg::header_type_layout_mask;
  if (layout != reg::header_type_normal && layout != reg::header_type_bridge) {
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  const uint32_t start = record.config[reg::capabilities_pointer] & reg::capability_pointer_mask;
  if ((status_register(record) & reg::status_capabilities_list) == 0) {
    return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
  }
  if (start < reg::pci_list_first || start > reg::pci_list_limit) {
    say(pci_start_outside_limits, pci_search, source_file, __LINE__, static_cast<int>(start));
    return VEXO_STATUS_INVALID_PARAMETER;
  }
  *offset = start;
  return VEXO_STATUS_SUCCESS;
}

}  // namespace
}  // namespace vexo

VEXO_API VEXO_STATUS_t HelpGetPCICapability(VEXO_DEVICE_HANDLE_t dev, VEXO_PCI_CAPABILITY_TYPE_t id,
                                            unsigned int start_offset, int search_all,
                                            void* record, VEXO_CAP_HANDLE_t* cap) {
  using namespace vexo;
  using namespace vexo::cap_message;
  if (cap != nullptr) *cap = nullptr;
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;

  uint32_t offset = 0;
  VEXO_STATUS_t status = first_offset(*record_from_handle(dev), start_offset, &offset);
  if (status != VEXO_STATUS_SUCCESS) return status;

  // Every offset the walk may stand on (up to 256, the highest start); a list that comes
  // back to one of them would never end.
  std::bitset<reg::pci_list_limit + 1> visited;
  std::vector<uint8_t> copy;  // the last instance found
  uint32_t instances = 0;
  uint32_t found_offset = 0;
  for (;;) {
    if (visited.test(offset)) {
      say(pci_loop, pci_search, source_file, __LINE__, static_cast<int>(offset));
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    visited.set(offset);

    uint8_t header[2] = {};
    uint32_t length = sizeof header;
    status = read_device_config(dev, header, offset, &length);
    if (status != VEXO_STATUS_SUCCESS) {
      say(pci_header_read_failed, pci_search, source_file, __LINE__, static_cast<int>(offset),
          static_cast<int>(sizeof header));
      return status;
    }
    if (header[0] == id) {
      copy.clear();
      uint32_t capability_length = 0;
      status = pci_capability_length(id, &capability_length);
      if (status != VEXO_STATUS_SUCCESS) return status;
      if (capability_length != 0) {
        copy.resize(capability_length);
        uint32_t read_length = capability_length;
        status = read_device_config(dev, copy.data(), offset, &read_length);
        if (status != VEXO_STATUS_SUCCESS) {
          say(pci_capability_read_failed, pci_search, source_file, __LINE__,
              static_cast<int>(id), static_cast<int>(offset),
              static_cast<int>(capability_length));
          return status;
        }
        if (copy[0] != id) {
          say(pci_id_mismatch, pci_search, source_file, __LINE__, static_cast<int>(offset),
              static_cast<int>(capability_length));
        }
      }
      found_offset = offset;
      ++instances;
      if (search_all == 0) break;
    }

    const uint32_t next = header[1] & reg::capability_pointer_mask;
    if (next == 0) {
      if (instances == 0) return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
      break;
    }
    if (next < reg::pci_list_first) {
      say(pci_next_into_header, pci_search, source_file, __LINE__, static_cast<int>(next));
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    if (next == offset) return VEXO_STATUS_INVALID_PARAMETER;
    offset = next;
  }

  if (cap != nullptr) {
    *cap = make_capability(dev, found_offset, id);
    if (*cap == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  if (instances > 1) {
    say(pci_multiple_instances, pci_search, static_cast<int>(instances), static_cast<int>(id));
    return VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND;
  }
  if (record != nullptr && !copy.empty()) std::memcpy(record, copy.data(), copy.size());
  return VEXO_STATUS_SUCCESS;
}
