// Searching the PCI Express extended capability list (from 0x100) for one capability ID.
#include <bitset>
#include <cstring>
#include <vector>

#include "caps/capability_handle.h"
#include "caps/capability_lengths.h"
#include "caps/capability_messages.h"
#include "caps/console.h"
#include "caps/pci_registers.h"
#include "config/config_access.h"

VEXO_API VEXO_STATUS_t HelpGetPCIECapability(VEXO_DEVICE_HANDLE_t dev,
                                             VEXO_PCIE_CAPABILITY_TYPE_t id, unsigned int,
                                             int search_all, void* record,
                                             VEXO_CAP_HANDLE_t* cap) {
  using namespace vexo;
  using namespace vexo::cap_message;
  if (cap != nullptr) *cap = nullptr;
  if (dev == nullptr) return VEXO_STATUS_INVALID_PARAMETER;

  // Next offsets are dword aligned and below 4096; a list that comes back to one already
  // visited would never end.
  std::bitset<reg::config_space_size / 4> visited;
  std::vector<uint8_t> copy;  // the last instance found
  uint32_t instances = 0;
  uint32_t found_offset = 0;
  uint32_t offset = reg::extended_list_first;
  for (;;) {
    if (visited.test(offset / 4)) {
      say(extended_loop, extended_search, source_file, __LINE__, static_cast<int>(offset));
      return VEXO_STATUS_INVALID_PARAMETER;
    }
    visited.set(offset / 4);

    uint32_t header = 0;
    uint32_t length = sizeof header;
    if (read_device_config(dev, &header, offset, &length) != VEXO_STATUS_SUCCESS) {
      return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
    }
    const uint32_t header_id = header & 0xFFFF;
    if (header_id == id) {
      copy.clear();
      uint32_t capability_length = 0;
      if (extended_capability_length(id, &capability_length) != VEXO_STATUS_SUCCESS) {
        return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
      }
      copy.resize(capability_length);
      uint32_t read_length = capability_length;
      if (read_device_config(dev, copy.data(), offset, &read_length) != VEXO_STATUS_SUCCESS ||
          read_length != capability_length) {
        say(extended_read_failed, extended_search, source_file, __LINE__,
            static_cast<int>(offset), static_cast<int>(capability_length));
        return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
      }
      if ((copy[0] | (copy[1] << 8)) != static_cast<int>(id)) return VEXO_STATUS_INVALID_PARAMETER;
      found_offset = offset;
      ++instances;
      if (search_all == 0) break;
    }

    const uint32_t next = (header >> reg::extended_next_shift) & reg::extended_next_mask;
    if (next == 0) {
      if (instances == 0) return VEXO_STATUS_PCIE_CAP_DOES_NOT_EXIST;
      break;
    }
    if (next < reg::extended_list_first) {
      say(extended_next_into_legacy, extended_search, source_file, __LINE__,
          static_cast<int>(next), header_id, static_cast<int>(id));
    }
    offset = next;
  }

  if (instances > 1) {
    say(extended_multiple_instances, extended_search, __LINE__, source_file,
        static_cast<int>(instances), static_cast<int>(id), static_cast<int>(found_offset));
    return VEXO_STATUS_PCIE_MULTIPLE_INSTANCES_OF_CAP_FOUND;
  }
  if (cap != nullptr) {
    *cap = make_capability(dev, found_offset, id);
    if (*cap == nullptr) return VEXO_STATUS_INSUFFICIENT_RESOURCES;
  }
  if (record != nullptr) std::memcpy(record, copy.data(), copy.size());
  return VEXO_STATUS_SUCCESS;
}
