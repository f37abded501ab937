// Station files: which hierarchy the lab builds and which of its devices play which role.
//
// A station file is a profile (ini) file:
//   [Station]   Name, Topology (a topology script, relative to the station file),
//               ConfigBase, ConfigLength (what the MCFG query reports),
//               MemoryBase, MemoryLimit, IOBase, IOLimit (what the firmware assigns from)
//   [RootPortN] (N = 1, 2, ...) Device (script device number), Slot, MaxWidth, NegotiatedWidth
//               (optional: trains the link no wider than this)
//   [Card]      Device (the Farrow port: the bridge whose secondary bus holds the card's
//               downstream port), Port (the card's downstream port, directly above the DUT),
//               Mode, NextBootMode, MaxWidth (both card ports, default 16)
//   [DUT]       Device, MaxWidth, NegotiatedWidth, Fault (comma-separated fault names)
//   [KnownEndpoint] Device (optional)
//   [Operator]  Answers (comma-separated answers the virtual operator gives first)
//   [SUT]       RootComplex (a topology script whose first device is the root port whose
//               slot holds the card; makes the station a system under test), MemoryBase,
//               MemoryLimit, IOBase, IOLimit (what its firmware assigns from)
//   [Firmware]  Fault (comma-separated fault names of the system under test's firmware)
//   [Suite]     LinkWidthStations (read by the suite runner, not the lab: the stations the
//               link-width program runs on)
// Numbers are decimal or 0x-prefixed hexadecimal; a key given with an empty value is refused.
// Widths are those PCI Express links have (1, 2, 4, 8, 12, 16, 32; NegotiatedWidth 0 or
// absent: no limit). A section or a key within a section given twice is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dut/dut_faults.h"
#include "firmware/firmware_faults.h"

namespace zamsim {

struct root_port_role {
  int device = -1;
  uint32_t slot = 0;
  uint32_t max_width = 1;
  uint32_t negotiated_width = 0;  // 0: as wide as both ends allow
};

struct station_config {
  std::string path;
  std::string name;
  std::string topology_path;
  uint64_t config_base = 0xE0000000ull;
  uint64_t config_length = 0x10000000ull;
  uint64_t memory_base = 0x80000000ull;
  uint64_t memory_limit = 0xDFFFFFFFull;
  uint32_t io_base = 0x2000;
  uint32_t io_limit = 0xFFFF;
  std::vector<root_port_role> root_ports;
  int card_device = -1;
  int card_port_device = -1;
  uint32_t card_mode = 0;
  uint32_t card_next_boot_mode = 0;
  // The card's USB controller: DIP switches 3-1 (bits 2-0), firmware version 0xMMmmbb,
  // link states of ports A and B, whether the delay scan finds a window, a power cycle
  // when the lab starts.
  uint32_t card_dip_switches = 0;
  uint32_t card_firmware_version = 0x010200;
  uint32_t card_link_state_a = 0x10;
  uint32_t card_link_state_b = 0x11;
  uint32_t card_delay_scan_window = 1;  // 0: the delay scan finds nothing
  uint32_t card_power_cycle_at_start = 0;
  uint32_t card_boot_firmware = 1;  // 0: the USB controller boots blank (no firmware in EEPROM)
  uint32_t card_max_width = 16;
  int dut_device = -1;
  uint32_t dut_max_width = 1;
  uint32_t dut_negotiated_width = 0;  // 0: as wide as both ends allow
  dut_faults faults;
  // [Operator] Answers: the virtual operator's scripted answers, in order.
  std::vector<std::string> operator_answers;
  // Unknown sections and keys, one line each, for standard error.
  std::vector<std::string> warnings;
  int known_endpoint_device = -1;
  std::string sut_root_complex;  // empty: no system under test
  uint64_t sut_memory_base = 0x80000000ull;
  uint64_t sut_memory_limit = 0xFEBFFFFFull;
  uint32_t sut_io_base = 0x1000;
  uint32_t sut_io_limit = 0xFFFF;
  firmware_faults firmware;
};

// Reads a station file; nullopt with `error` set when it is missing or inconsistent.
std::optional<station_config> load_station(const std::string& path, std::string& error);

// Whether a PCI Express link can have this width (1, 2, 4, 8, 12, 16, 32 lanes).
bool is_link_width(uint64_t width);

// Parses a decimal or 0x-prefixed hexadecimal number; nullopt when malformed.
std::optional<uint64_t> parse_number(const std::string& text);

}  // namespace zamsim
