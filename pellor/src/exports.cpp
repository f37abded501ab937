// The library's exports: the tables handed to the framework, and the drivers' state.
#include <cstdio>
#include <string>

#include "pellor/pellor.h"
#include "platform/devio.h"
#include "state.h"
#include "tables.h"

extern "C" {

PELLOR_API uint32_t ConfigDriver_GetInterface(CONFIG_DRIVER_INTERFACE_t* table) {
  if (table == nullptr) return 0;
  *table = CONFIG_DRIVER_INTERFACE_t{};
  if (!pellor::state.initialised) return 0;
  pellor::fill_config_table(*table);
  return 1;
}

PELLOR_API uint32_t ZAM_LIB_Open_ZAM_Interface(ZAM_LIB_INTERFACE_t** out) {
  if (out == nullptr) return PELLOR_INVALID_PARAMETER;
  *out = &pellor::state.card_table;
  return 0;
}

PELLOR_API uint32_t KEP_LIB_Open_KEP_Interface(KEP_LIB_INTERFACE_t** out) {
  if (out == nullptr) return PELLOR_INVALID_PARAMETER;
  *out = &pellor::state.kep_table;
  return 0;
}

PELLOR_API uint32_t Pellor_GetDriverTrouble(char* text, uint32_t size) {
  const std::string trouble = platform::driver_trouble();
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", trouble.c_str());
  return trouble.empty() ? 0 : 1;
}

}  // extern "C"
