// Configuration-space register map used by the capability walks, discovery and link control
// (PCI Local Bus 3.0 sec 6.1, PCIe Base 4.0 sec 7.5 and 7.6).
#pragma once

#include <cstdint>

namespace vexo::reg {

inline constexpr uint32_t vendor_id = 0x00;
inline constexpr uint32_t device_id = 0x02;
inline constexpr uint32_t status = 0x06;
inline constexpr uint16_t  status_capabilities_list = 0x0010;
inline constexpr uint32_t prog_if = 0x09;
inline constexpr uint32_t sub_class = 0x0A;
inline constexpr uint32_t base_class = 0x0B;
inline constexpr uint32_t header_type = 0x0E;
inline constexpr uint8_t   header_type_layout_mask = 0x7F;  // bit 7: multi-function
inline constexpr uint8_t   header_type_normal = 0;
inline constexpr uint8_t   header_type_bridge = 1;
inline constexpr uint32_t secondary_bus = 0x19;  // type 1 header
inline constexpr uint32_t capabilities_pointer = 0x34;
inline constexpr uint8_t   capability_pointer_mask = 0xFC;  // low two bits reserved

// Where each capability list may lie.
inline constexpr uint32_t pci_list_first = 64;
inline constexpr uint32_t pci_list_limit = 256;
inline constexpr uint32_t extended_list_first = 0x100;
inline constexpr uint32_t config_space_size = 4096;

// Extended capability header: ID in bits 0-15, next offset in bits 20-31.
inline constexpr uint32_t extended_next_shift = 20;
inline constexpr uint32_t extended_next_mask = 0xFFC;

// Inside the PCI Express capability.
inline constexpr uint32_t express_capabilities = 0x02;
inline constexpr uint16_t  express_port_type_shift = 4;
inline constexpr uint16_t  express_port_type_mask = 0xF;
inline constexpr uint32_t express_link_control = 0x10;
inline constexpr uint16_t  link_control_disable = 0x0010;
inline constexpr uint16_t  link_control_retrain = 0x0020;
inline constexpr uint32_t express_link_status = 0x12;
inline constexpr uint16_t  link_status_training = 0x0800;

// Inside the MSI capability.
inline constexpr uint32_t msi_message_control = 0x02;
inline constexpr uint16_t  msi_64bit_capable = 0x0080;

// Inside a vendor-specific capability: its own length byte.
inline constexpr uint32_t vendor_specific_length = 0x02;

}  // namespace vexo::reg
