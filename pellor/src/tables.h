// Fills the three function tables with the library's slot functions.
#pragma once

#include "pellor/pellor.h"

namespace pellor {

void fill_config_table(CONFIG_DRIVER_INTERFACE_t& table);
void fill_card_table(ZAM_LIB_INTERFACE_t& table);
void fill_kep_table(KEP_LIB_INTERFACE_t& table);

}  // namespace pellor
