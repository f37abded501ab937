// Test double of the driver interface library: entry points by name, behaviour per test.
#include "fake_pellor.h"

namespace {

fake_pellor_control control;

[[maybe_unused]] uint32_t open_driver(uint32_t* driver) {
  ++control.open_calls;
  if (driver != nullptr) *driver = control.context_to_hand_out;
  return control.open_result;
}

[[maybe_unused]] uint32_t set_window(uint32_t driver, uint32_t base_low, uint32_t base_high,
                                     uint32_t length_low, uint32_t length_high) {
  ++control.set_window_calls;
  control.context_at_set_window = driver;
  control.window_base = (uint64_t{base_high} << 32) | base_low;
  control.window_length = (uint64_t{length_high} << 32) | length_low;
  return control.set_window_result;
}

[[maybe_unused]] uint32_t query_mcfg(uint32_t, uint64_t* base, uint8_t* start_bus, uint8_t* end_bus,
                    uint64_t* length) {
  ++control.query_calls;
  *base = 0;
  *start_bus = 0;
  *end_bus = 0;
  *length = 0;
  if (control.query_result == 0) return 0;
  *base = control.reported_base;
  *end_bus = 255;
  *length = control.reported_length;
  return control.query_result;
}

[[maybe_unused]] void close_driver(uint32_t driver) {
  ++control.close_calls;
  control.context_at_close = driver;
}

[[maybe_unused]] uint32_t is_zam_device(uint32_t bus, uint32_t device, uint32_t function) {
  return bus == control.card_bus && device == control.card_device &&
                 function == control.card_function
             ? 1
             : 0;
}

[[maybe_unused]] uint32_t is_kep_device(uint32_t, uint32_t, uint32_t) { return 0; }

// Each variant of the double uses only some of these.
[[maybe_unused]] ZAM_LIB_INTERFACE_t card_table;
[[maybe_unused]] KEP_LIB_INTERFACE_t kep_table;

}  // namespace

extern "C" {

#ifndef FAKE_PELLOR_NO_CONFIG
FAKE_PELLOR_API uint32_t ConfigDriver_GetInterface(CONFIG_DRIVER_INTERFACE_t* table) {
  ++control.get_interface_calls;
  *table = CONFIG_DRIVER_INTERFACE_t{};
  if (control.get_interface_result == 0) return 0;
  if (control.offer_open) table->OpenDriver = open_driver;
  if (control.offer_set_window) table->SetCfgWindow = set_window;
  if (control.offer_query) table->QueryMcfg = query_mcfg;
  if (control.offer_close) table->CloseDriver = close_driver;
  return control.get_interface_result;
}
#endif

#ifndef FAKE_PELLOR_CONFIG_ONLY
FAKE_PELLOR_API uint32_t ZAM_LIB_Open_ZAM_Interface(ZAM_LIB_INTERFACE_t** table) {
  ++control.card_table_requests;
  card_table = ZAM_LIB_INTERFACE_t{};
  if (control.card_present) card_table.IsZamDevice = is_zam_device;
  *table = &card_table;
  return 0;
}

FAKE_PELLOR_API uint32_t KEP_LIB_Open_KEP_Interface(KEP_LIB_INTERFACE_t** table) {
  ++control.kep_table_requests;
  kep_table = KEP_LIB_INTERFACE_t{};
  kep_table.IsKepDevice = is_kep_device;
  *table = &kep_table;
  return 0;
}
#endif

#if !defined(FAKE_PELLOR_CONFIG_ONLY) && !defined(FAKE_PELLOR_NO_CONFIG)
FAKE_PELLOR_API fake_pellor_control* fake_pellor() { return &control; }
FAKE_PELLOR_API void fake_pellor_reset() { control = fake_pellor_control{}; }
#endif

}  // extern "C"
