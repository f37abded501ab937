// Binding the driver interface library's tables by entry-point name, and opening the
// configuration-space driver with its memory-mapped window.
#pragma once

#include <cstdint>

#include "platform/library.h"

namespace vexo {

// Entry-point names looked up in the driver interface library.
inline constexpr const char* config_table_entry = "ConfigDriver_GetInterface";
inline constexpr const char* card_table_entry = "ZAM_LIB_Open_ZAM_Interface";
inline constexpr const char* kep_table_entry = "KEP_LIB_Open_KEP_Interface";

// Fills the tables of the driver state from the library. False when the configuration
// table is missing or refused; the card and known-endpoint tables are optional.
bool bind_driver_tables(platform::library_handle library);

// Opens the configuration-space driver and gives it its window: the one the driver reports,
// else config_base with the length from "PCIECfgInfo.ini". False on failure.
bool open_config_driver(uint64_t config_base);

}  // namespace vexo
