// The card's USB controller as its driver and tools address it: control codes, vendor
// requests, records, memory sizes and the addresses with a meaning.
#pragma once

#include <cstdint>

namespace zamsim::ezusb {

// Driver control codes.
inline constexpr uint32_t ioctl_reset = 0x222014;
inline constexpr uint32_t ioctl_bulk_read = 0x22204E;
inline constexpr uint32_t ioctl_bulk_write = 0x222051;
inline constexpr uint32_t ioctl_vendor = 0x222059;
inline constexpr uint32_t ioctl_ram_download = 0x22206D;

// Vendor requests of the card's firmware.
inline constexpr uint8_t request_version = 0xA1;
inline constexpr uint8_t request_eeprom = 0xA2;
inline constexpr uint8_t request_xdata = 0xA3;
inline constexpr uint8_t request_flash_erase = 0xAA;
inline constexpr uint8_t request_flash = 0xAB;
inline constexpr uint8_t request_i2c = 0xAD;
inline constexpr uint8_t request_idata = 0xAE;
inline constexpr uint8_t request_fpga = 0xAF;
inline constexpr uint8_t request_cpu_reset = 0xA0;

inline constexpr uint32_t vendor_record_size = 10;
inline constexpr uint32_t reset_record_size = 10;
inline constexpr uint32_t max_transfer = 1024;

// Memories.
inline constexpr uint32_t xdata_size = 64u << 10;
inline constexpr uint32_t idata_size = 256;
inline constexpr uint32_t eeprom_size = 16u << 10;
inline constexpr uint32_t flash_size = 8u << 20;
inline constexpr uint32_t flash_sector_size = 64u << 10;
inline constexpr uint32_t ram_download_limit = 0x2000;  // code below this goes to the RAM

// Registers in xdata.
inline constexpr uint32_t xdata_mode_register = 0xD800;
inline constexpr uint32_t xdata_link_status_a = 0xCF28;
inline constexpr uint32_t xdata_link_status_b = 0xC728;
inline constexpr uint32_t cpu_control_register = 0xE600;

// I2C: the device with the next-boot registers.
inline constexpr uint8_t i2c_next_boot_device = 0x53;
inline constexpr uint8_t i2c_next_boot_bit0 = 0xF8;
inline constexpr uint8_t i2c_next_boot_bit1 = 0xF9;

// FLASH images with their 256-byte "ZAM1" header.
inline constexpr uint32_t image_known_endpoint = 0x210000;
inline constexpr uint32_t image_topology = 0x410000;
inline constexpr uint32_t image_add_in_card = 0x610000;
inline constexpr uint32_t image_header_size = 256;

// Firmware version flags byte.
inline constexpr uint8_t flag_dip_valid = 0x80;
inline constexpr uint8_t flag_fpga_configured = 0x40;

// Bulk pipes in topology mode.
inline constexpr uint32_t pipe_completions = 0;
inline constexpr uint32_t pipe_requests = 1;

}  // namespace zamsim::ezusb
