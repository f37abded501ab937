// Binding the driver interface library's tables and opening the configuration driver.
#include "startup/driver_binding.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fs.h"
#include "platform/profile.h"
#include "startup/driver_state.h"
#include "startup/settings_path.h"

namespace vexo {
namespace {

constexpr const char* window_settings_file = "PCIECfgInfo.ini";
constexpr const char* default_window_length = "52428800";
constexpr std::size_t window_length_buffer = 100;

uint32_t low_half(uint64_t value) { return static_cast<uint32_t>(value); }
uint32_t high_half(uint64_t value) { return static_cast<uint32_t>(value >> 32); }

uint32_t set_window(const CONFIG_DRIVER_INTERFACE_t& table, uint32_t driver, uint64_t base,
                    uint64_t length) {
  return table.SetCfgWindow(driver, low_half(base), high_half(base), low_half(length),
                            high_half(length));
}

template <typename Entry>
Entry find_entry(platform::library_handle library, const char* name) {
  return reinterpret_cast<Entry>(platform::find_symbol(library, name));
}

// Length of the configuration window from the settings: a signed decimal number, widened
// with its sign. The existence check looks in the current folder while the read resolves
// the bare name in the system settings folder, as the station's tools always did.
uint64_t configured_window_length() {
  report_unreadable_settings_file(window_settings_file);
  const std::string text =
      platform::read_profile_string("CfgSpaceInfo", "CfgSpaceLength", default_window_length,
                                    window_settings_file, window_length_buffer);
  return static_cast<uint64_t>(std::strtoll(text.c_str(), nullptr, 10));
}

}  // namespace

bool bind_driver_tables(platform::library_handle library) {
  process_driver_state& state = driver_state();
  state.config_table = CONFIG_DRIVER_INTERFACE_t{};
  auto get_config = find_entry<CONFIG_DRIVER_GET_INTERFACE_t>(library, config_table_entry);
  if (get_config == nullptr || get_config(&state.config_table) == 0) return false;
  // The card and known-endpoint tables are optional and their results are not checked.
  if (auto open_card = find_entry<ZAM_LIB_OPEN_ZAM_INTERFACE_t>(library, card_table_entry)) {
    open_card(&state.card_table);
  }
  if (auto open_kep = find_entry<KEP_LIB_OPEN_KEP_INTERFACE_t>(library, kep_table_entry)) {
    open_kep(&state.kep_table);
  }
  return true;
}

bool open_config_driver(uint64_t config_base) {
  process_driver_state& state = driver_state();
  const CONFIG_DRIVER_INTERFACE_t& table = state.config_table;
  if (table.OpenDriver == nullptr || table.OpenDriver(&state.driver_context) == 0) return false;

  // The window the driver already knows (from the firmware's MCFG table) wins.
  uint64_t reported_base = 0, reported_length = 0;
  uint8_t start_bus = 0, end_bus = 0;
  if (table.QueryMcfg != nullptr && table.SetCfgWindow != nullptr &&
      table.QueryMcfg(state.driver_context, &reported_base, &start_bus, &end_bus,
                      &reported_length) != 0 &&
      set_window(table, state.driver_context, reported_base, reported_length) != 0) {
    return true;
  }

  const uint64_t length = configured_window_length();
  if (table.SetCfgWindow == nullptr) return false;
  return set_window(table, state.driver_context, config_base, length) != 0;
}

}  // namespace vexo
