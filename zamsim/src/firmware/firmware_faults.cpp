// Parsing the firmware's fault names into flags.
#include "firmware/firmware_faults.h"

#include "base/fault_flags.h"

namespace zamsim {
namespace {

const fault_flag_table<firmware_faults>& table() {
  static const fault_flag_table<firmware_faults> names = {
      {"no-subordinate-fixup", [](firmware_faults& f) -> bool& { return f.no_subordinate_fixup; }},
      {"reuse-secondary-bus", [](firmware_faults& f) -> bool& { return f.reuse_secondary_bus; }},
      {"bars-4k-aligned", [](firmware_faults& f) -> bool& { return f.bars_4k_aligned; }},
      {"mem64-as-two-mem32", [](firmware_faults& f) -> bool& { return f.mem64_as_two_mem32; }},
      {"no-pointer-advance", [](firmware_faults& f) -> bool& { return f.no_pointer_advance; }},
      {"window-one-short", [](firmware_faults& f) -> bool& { return f.window_one_short; }},
      {"empty-window-open", [](firmware_faults& f) -> bool& { return f.empty_window_open; }},
      {"memory-enable-off", [](firmware_faults& f) -> bool& { return f.memory_enable_off; }},
      {"aspm-left-on", [](firmware_faults& f) -> bool& { return f.aspm_left_on; }},
      {"no-crs-retry", [](firmware_faults& f) -> bool& { return f.no_crs_retry; }},
  };
  return names;
}

}  // namespace

const std::vector<std::string>& firmware_fault_names() {
  static const std::vector<std::string> names = fault_flag_names(table());
  return names;
}

bool parse_firmware_faults(const std::string& text, firmware_faults& out, std::string& error) {
  return parse_fault_flags(text, table(), out, error);
}

}  // namespace zamsim
