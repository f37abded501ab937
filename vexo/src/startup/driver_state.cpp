// The process-wide driver state.
#include "startup/driver_state.h"

namespace vexo {

process_driver_state& driver_state() {
  static process_driver_state state;
  return state;
}

void clear_driver_tables() {
  process_driver_state& state = driver_state();
  state.config_table = CONFIG_DRIVER_INTERFACE_t{};
  state.card_table = nullptr;
  state.kep_table = nullptr;
}

}  // namespace vexo
