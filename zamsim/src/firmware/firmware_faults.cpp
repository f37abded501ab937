// Parsing the firmware's fault names into flags.
#include "firmware/firmware_faults.h"

#include <utility>

#include "station/name_list.h"

namespace zamsim {
namespace {

using flag_of = bool& (*)(firmware_faults&);

const std::vector<std::pair<std::string, flag_of>>& table() {
  static const std::vector<std::pair<std::string, flag_of>> names = {
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
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const auto& [name, flag] : table()) n.push_back(name);
    return n;
  }();
  return names;
}

bool parse_firmware_faults(const std::string& text, firmware_faults& out, std::string& error) {
  for (const std::string& name : split_names(text)) {
    bool known = false;
    for (const auto& [candidate, flag] : table()) {
      if (candidate == name) {
        flag(out) = true;
        known = true;
      }
    }
    if (!known) {
      error = "unknown fault \"" + name + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace zamsim
