// The station's PCI Express hierarchy as the lab sees it: configuration requests from the
// root complex, and where each script device ended up after the boot.
#pragma once

#include <optional>
#include <string>

#include "base/config_access.h"

namespace zamsim {

class hierarchy : public config_access {
 public:
  // Where function 0 of a script device sits now (bus numbers as the firmware gave them).
  virtual std::optional<bdf> locate(int script_device) = 0;
  // The script device whose function 0 sits at `at` now, if any.
  virtual std::optional<int> script_device_at(bdf at) = 0;
  // Sets a register's value directly, past its write masks: the station's wiring (slot
  // numbers, link widths) that hardware strapping fixes and software cannot change.
  virtual bool strap(int script_device, uint16_t offset, uint32_t value, uint32_t mask) = 0;
  // Sets register bits as the device's own hardware does (status bits, Link Training):
  // past the write masks, leaving the values a reset restores alone.
  virtual bool drive(int script_device, uint16_t offset, uint32_t value, uint32_t mask) = 0;
  // The PCI Express capability offset of function 0 of a script device, 0 when absent.
  virtual uint16_t pcie_capability(int script_device) = 0;
  // One line per function, for people debugging a run.
  virtual std::string describe() = 0;
};

}  // namespace zamsim
