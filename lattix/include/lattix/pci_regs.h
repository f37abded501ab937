// Configuration register map used by the simulated functions (PCIe Base 4.0 sec 7.5).
#pragma once

#define LX_VENDOR_ID 0x00
#define LX_DEVICE_ID 0x02
#define LX_COMMAND 0x04
#define  LX_COMMAND_IO 0x1
#define  LX_COMMAND_MEMORY 0x2
#define LX_STATUS 0x06
#define LX_REVISION_ID 0x08
#define LX_CACHE_LINE_SIZE 0x0C
#define LX_HEADER_TYPE 0x0E
#define  LX_HEADER_TYPE_MASK 0x7F
#define LX_BAR0 0x10
#define LX_BAR1 0x14
#define LX_BAR5 0x24
#define LX_ROM_ADDRESS 0x30
#define LX_CAPABILITY_LIST 0x34
#define LX_INTERRUPT_LINE 0x3C

// Type 1 (bridge) header.
#define LX_PRIMARY_BUS 0x18
#define LX_SECONDARY_BUS 0x19
#define LX_SUBORDINATE_BUS 0x1A
#define LX_IO_BASE 0x1C
#define LX_IO_LIMIT 0x1D
#define  LX_IO_RANGE_32BIT 0x01
#define LX_MEMORY_BASE 0x20
#define LX_MEMORY_LIMIT 0x22
#define LX_PREF_MEMORY_BASE 0x24
#define LX_PREF_MEMORY_LIMIT 0x26
#define LX_PREF_BASE_UPPER32 0x28
#define LX_PREF_LIMIT_UPPER32 0x2C
#define LX_IO_BASE_UPPER16 0x30
#define LX_IO_LIMIT_UPPER16 0x32
#define LX_ROM_ADDRESS1 0x38
#define LX_BRIDGE_CONTROL 0x3E
#define  LX_BRIDGE_CTL_BUS_RESET 0x40

// BAR low-word type bits.
#define LX_BAR_SPACE_IO 0x1
#define LX_BAR_MEM_TYPE_64 0x4
#define LX_BAR_MEM_PREFETCH 0x8
#define LX_ROM_ENABLE 0x1

// Capability IDs.
#define LX_CAP_ID_PM 0x01
#define LX_CAP_ID_MSI 0x05
#define LX_CAP_ID_EXP 0x10

// PCI Express capability, offsets from the capability.
#define LX_EXP_DEVCAP 0x04
#define LX_EXP_LNKCAP 0x0C
#define LX_EXP_LNKCTL 0x10
#define  LX_EXP_LNKCTL_ASPM_L0S 0x1
#define  LX_EXP_LNKCTL_ASPM_L1 0x2

// MSI capability, offsets from the capability.
#define LX_MSI_FLAGS 0x02
#define  LX_MSI_FLAGS_64BIT 0x80
#define LX_MSI_ADDRESS_LO 0x04

// Extended capabilities.
#define LX_EXT_CAP_START 0x100
#define LX_EXT_CAP_ID_ERR 0x0001
#define LX_EXT_CAP_ID_VC 0x0002
#define LX_EXT_CAP_ID_DSN 0x0003
#define LX_EXT_CAP_ID_PWR 0x0004
#define LX_EXT_CAP_VERSION_1 0x1
#define LX_EXT_CAP_NEXT_SHIFT 20

#define LX_CONFIG_SPACE_SIZE 0x1000
