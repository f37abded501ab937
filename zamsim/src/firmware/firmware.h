// The lab's virtual firmware: enumerates a hierarchy through configuration requests the way
// a platform BIOS does (bus numbers depth first, BAR sizing, windows, enables, ASPM off).
// It talks to "a configuration access" only, so the same enumerator serves the station at
// power-on and, later, the system under test over the card's link.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware/firmware_faults.h"
#include "base/config_access.h"

namespace zamsim {

struct firmware_options {
  uint32_t memory_base = 0x80000000u;  // memory BARs and windows come from here
  uint32_t memory_limit = 0xDFFFFFFFu;
  uint32_t io_base = 0x2000;
  uint32_t io_limit = 0xFFFF;
  uint8_t root_bus = 0;
  // How long a function may answer with configuration retry status before it is skipped.
  uint32_t retry_budget_ms = 1000;
  // The pauses between retries; null means platform::sleep_ms. A system under test passes
  // its virtual clock here.
  std::function<void(uint32_t ms)> pause;
  firmware_faults faults;  // none: a correct firmware
};

struct firmware_report {
  bool ok = true;
  std::string error;                  // why the enumeration stopped, when ok is false
  std::vector<std::string> warnings;  // resources that did not fit, functions given up on
  int buses = 0;                      // bus numbers given out below the root bus
  int functions = 0;
  int bars = 0;                       // BARs (and ROM BARs) assigned
};

firmware_report run_firmware(config_access& access, const firmware_options& options);

}  // namespace zamsim
