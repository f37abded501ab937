// The firmware's faults, one behaviour each, as a station names them in
// `[Firmware] Fault = <name>, <name>, ...`: flags the enumerator consults at the one
// decision each changes.
#pragma once

#include <string>
#include <vector>

namespace zamsim {

struct firmware_faults {
  bool no_subordinate_fixup = false;   // subordinate bus left at 0xFF
  bool reuse_secondary_bus = false;    // a second bridge on a bus gets the first one's secondary
  bool bars_4k_aligned = false;        // memory BARs aligned to 4 KB only
  bool mem64_as_two_mem32 = false;     // a 64-bit BAR sized and placed as two 32-bit BARs
  bool no_pointer_advance = false;     // the next function starts where the last one's BAR did
  bool window_one_short = false;       // memory windows programmed one 1 MB unit short
  bool empty_window_open = false;      // windows with nothing below them left open at 0
  bool memory_enable_off = false;      // memory decode left off where memory was assigned
  bool aspm_left_on = false;           // link control ASPM bits left as the hardware came up
  bool no_crs_retry = false;           // a configuration retry status taken as "no device"
};

// Every fault name, in the order zam-lab(7) documents them.
const std::vector<std::string>& firmware_fault_names();

// Parses a comma-separated list of fault names (blanks around names ignored, empty list
// allowed); false with `error` naming the first unknown name.
bool parse_firmware_faults(const std::string& text, firmware_faults& out, std::string& error);

}  // namespace zamsim
