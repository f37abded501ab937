// PCI configuration registers the lab's firmware and station wiring use (PCIe Base 4.0
// sec 7.5).
#pragma once

#include <cstdint>

namespace zamsim::pcie {

inline constexpr uint16_t vendor_id = 0x00;
inline constexpr uint16_t command = 0x04;
inline constexpr uint16_t  command_io = 0x0001;
inline constexpr uint16_t  command_memory = 0x0002;
inline constexpr uint16_t  command_bus_master = 0x0004;
inline constexpr uint16_t  command_serr = 0x0100;
inline constexpr uint16_t status = 0x06;
inline constexpr uint16_t  status_capabilities = 0x0010;
inline constexpr uint16_t header_type = 0x0E;
inline constexpr uint8_t   header_type_mask = 0x7F;
inline constexpr uint8_t   header_type_multifunction = 0x80;
inline constexpr uint16_t bar0 = 0x10;
inline constexpr uint32_t  bar_io = 0x1;
inline constexpr uint32_t  bar_mem_type_mask = 0x6;
inline constexpr uint32_t  bar_mem_type_64 = 0x4;
inline constexpr uint32_t  bar_mem_prefetch = 0x8;
inline constexpr uint16_t capabilities_pointer = 0x34;
inline constexpr uint16_t rom_address = 0x30;
inline constexpr uint32_t  rom_address_mask = 0xFFFFF800u;

// Type 1 (bridge) header.
inline constexpr uint16_t primary_bus = 0x18;
inline constexpr uint16_t secondary_bus = 0x19;
inline constexpr uint16_t subordinate_bus = 0x1A;
inline constexpr uint16_t io_base = 0x1C;
inline constexpr uint16_t io_limit = 0x1D;
inline constexpr uint16_t memory_base = 0x20;
inline constexpr uint16_t memory_limit = 0x22;
inline constexpr uint16_t prefetch_base = 0x24;
inline constexpr uint16_t prefetch_limit = 0x26;
inline constexpr uint16_t prefetch_base_upper = 0x28;
inline constexpr uint16_t prefetch_limit_upper = 0x2C;
inline constexpr uint16_t io_base_upper = 0x30;
inline constexpr uint16_t io_limit_upper = 0x32;
inline constexpr uint16_t bridge_rom_address = 0x38;
inline constexpr uint16_t bridge_control = 0x3E;
inline constexpr uint16_t  bridge_control_serr = 0x0002;

// PCI Express capability (ID 0x10), offsets from its start.
inline constexpr uint8_t capability_id_pcie = 0x10;
inline constexpr uint16_t  pcie_caps_version = 0x000F;
inline constexpr uint16_t  pcie_caps_port_type = 0x00F0;
inline constexpr uint16_t  pcie_caps_slot_implemented = 0x0100;
inline constexpr uint32_t port_type_root_port = 4;
inline constexpr uint32_t port_type_downstream_port = 6;
inline constexpr uint16_t device_control = 0x08;
inline constexpr uint16_t device_status = 0x0A;
inline constexpr uint16_t link_capabilities = 0x0C;
inline constexpr uint32_t  link_cap_max_width = 0x000003F0;
inline constexpr uint16_t link_control = 0x10;
inline constexpr uint16_t  link_control_aspm = 0x0003;
inline constexpr uint16_t  link_control_retrain = 0x0020;
inline constexpr uint16_t link_status = 0x12;
inline constexpr uint16_t  link_status_negotiated_width = 0x03F0;
inline constexpr uint16_t  link_status_training = 0x0800;
inline constexpr uint16_t slot_capabilities = 0x14;
inline constexpr uint32_t  slot_cap_physical_slot = 0xFFF80000u;
// Capability version 2 and later (PCIe Base 4.0 sec 7.5.3.15, 7.5.3.16).
inline constexpr uint16_t capabilities_register = 0x02;
inline constexpr uint16_t device_capabilities_2 = 0x24;
inline constexpr uint32_t  devcap2_timeout_ranges = 0x0000000F;
inline constexpr uint32_t  devcap2_timeout_range_a = 0x1;
inline constexpr uint32_t  devcap2_timeout_range_b = 0x2;
inline constexpr uint16_t device_control_2 = 0x28;
inline constexpr uint16_t  devctl2_timeout_value = 0x000F;
inline constexpr uint16_t  timeout_value_range_b_55ms = 0x5;  // 16 ms to 55 ms

}  // namespace zamsim::pcie
