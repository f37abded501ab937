// Upstream pair search by a full configuration scan through the routed read.
#include "upstream_search.h"

#include <cstring>
#include <optional>

#include "config_access.h"
#include "pellor/pellor.h"
#include "state.h"

namespace pellor {
namespace {

constexpr uint32_t header_bytes = 64;
constexpr uint32_t vendor_id_offset = 0x00;
constexpr uint32_t header_type_offset = 0x0E;
constexpr uint8_t header_type_layout_mask = 0x7F;  // bit 7 is the multi-function flag
constexpr uint8_t header_type_bridge = 0x01;        // PCI-to-PCI bridge (type 1 header)
constexpr uint32_t secondary_bus_offset = 0x19;

struct found_bridge {
  bdf address;
  uint8_t config[PELLOR_UPSTREAM_COPY_SIZE] = {};
};

// The first PCI-to-PCI bridge whose secondary bus is the child's bus. Bus 255 is not visited.
std::optional<found_bridge> find_parent(const bdf& child) {
  found_bridge bridge;
  for (uint32_t bus = 0; bus < 255; ++bus) {
    for (uint32_t device = 0; device < 32; ++device) {
      for (uint32_t function = 0; function < 8; ++function) {
        const bdf candidate{bus, device, function};
        if (candidate == child) continue;
        uint8_t* header = bridge.config;
        if (checked_read(bus, device, function, 0, header_bytes, header) != header_bytes) continue;
        uint16_t vendor_id = 0;
        std::memcpy(&vendor_id, header + vendor_id_offset, sizeof vendor_id);
        if (vendor_id == 0xFFFF) continue;
        if ((header[header_type_offset] & header_type_layout_mask) != header_type_bridge) continue;
        if (header[secondary_bus_offset] != child.bus) continue;
        bridge.address = candidate;
        std::memset(header + header_bytes, 0, sizeof bridge.config - header_bytes);
        return bridge;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

uint32_t find_upstream_pair(uint32_t bus, uint32_t device, uint32_t function,
                            uint32_t* grandparent_bus, uint32_t* grandparent_device,
                            uint32_t* grandparent_function, uint8_t* grandparent_config,
                            uint32_t* parent_bus, uint32_t* parent_device,
                            uint32_t* parent_function, uint8_t* parent_config) {
  if (grandparent_bus == nullptr || grandparent_device == nullptr ||
      grandparent_function == nullptr || grandparent_config == nullptr ||
      parent_bus == nullptr || parent_device == nullptr || parent_function == nullptr ||
      parent_config == nullptr) {
    return PELLOR_INVALID_PARAMETER;
  }
  const std::optional<found_bridge> parent = find_parent(bdf{bus, device, function});
  if (!parent) return PELLOR_INVALID_PARAMETER;
  const std::optional<found_bridge> grandparent = find_parent(parent->address);
  if (!grandparent) return PELLOR_INVALID_PARAMETER;

  *parent_bus = parent->address.bus;
  *parent_device = parent->address.device;
  *parent_function = parent->address.function;
  std::memcpy(parent_config, parent->config, sizeof parent->config);
  *grandparent_bus = grandparent->address.bus;
  *grandparent_device = grandparent->address.device;
  *grandparent_function = grandparent->address.function;
  std::memcpy(grandparent_config, grandparent->config, sizeof grandparent->config);
  return 0;
}

}  // namespace pellor
