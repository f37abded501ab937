// The card's USB controller as the tool sees it: driver requests, vendor requests and the
// addresses of its memories and registers.
#pragma once

#include <cstdint>

namespace zamdiag {

// Requests of the EZ-USB device driver.
inline constexpr uint32_t ioctl_vendor_request = 0x222059;
inline constexpr uint32_t ioctl_bulk_read = 0x22204E;
inline constexpr uint32_t ioctl_bulk_write = 0x222051;
inline constexpr uint32_t ioctl_reset_control = 0x222014;
inline constexpr uint32_t ioctl_anchor_download = 0x22206D;

// Vendor requests of the card's firmware.
inline constexpr uint16_t request_firmware_version = 0xA1;
inline constexpr uint16_t request_eeprom = 0xA2;
inline constexpr uint16_t request_xdata = 0xA3;
inline constexpr uint16_t request_flash_erase = 0xAA;
inline constexpr uint16_t request_flash = 0xAB;
inline constexpr uint16_t request_i2c = 0xAD;
inline constexpr uint16_t request_idata = 0xAE;
inline constexpr uint16_t request_fpga = 0xAF;
// Not a vendor request: the memory commands move bytes over a bulk pipe.
inline constexpr uint16_t request_bulk = 999;

// The largest transfer of one driver request.
inline constexpr uint32_t max_transfer = 1024;

// EZ-USB CPU control register: 1 holds the CPU in reset, 0 lets it run.
inline constexpr uint16_t cpucs_register = 0xE600;
inline constexpr uint8_t request_firmware_load = 0xA0;
// Code below this address goes into the controller's RAM; above it, through xdata writes.
inline constexpr uint32_t ram_download_limit = 0x2000;

// Firmware version record: major, minor, build, flags.
inline constexpr uint8_t flags_dip_valid = 0x80;
inline constexpr uint8_t flags_fpga_configured = 0x40;
inline constexpr uint8_t flags_dip3_debug = 0x04;
inline constexpr uint8_t flags_dip2 = 0x02;
inline constexpr uint8_t flags_dip1 = 0x01;

// External data memory registers.
inline constexpr uint32_t xdata_mode_register = 0xD800;
inline constexpr uint8_t  mode_add_in_card = 1;
inline constexpr uint8_t  mode_known_endpoint = 2;
inline constexpr uint8_t  mode_topology = 4;
inline constexpr uint32_t xdata_link_status_a = 0xCF28;
inline constexpr uint32_t xdata_link_status_b = 0xC728;
inline constexpr uint8_t  link_state_mask = 0x3F;
inline constexpr uint8_t  link_state_checked = 0x10;   // what the link check expects
inline constexpr uint8_t  link_state_scannable = 0x11;  // link up for the delay scan
inline constexpr uint32_t xdata_scan_block_a = 0xCF00;
inline constexpr uint32_t xdata_scan_control_a = 0xD828;
inline constexpr uint32_t xdata_scan_block_b = 0xC700;
inline constexpr uint32_t xdata_scan_control_b = 0xD82C;
inline constexpr uint32_t scan_sample_offset = 0x20;

// I2C device holding the next-boot mode: register 0xF8 is bit 0, 0xF9 bit 1.
inline constexpr uint32_t i2c_boot_mode_device = 0x53;
inline constexpr uint8_t  i2c_boot_mode_register = 0xF8;

// FLASH: mode images, each starting with the image header.
inline constexpr uint32_t flash_image_known_endpoint = 0x210000;
inline constexpr uint32_t flash_image_topology = 0x410000;
inline constexpr uint32_t flash_image_add_in_card = 0x610000;
inline constexpr uint32_t flash_size = 0x800000;

}  // namespace zamdiag
