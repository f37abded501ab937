// The process-wide driver state: the loaded driver interface library and its tables.
//
// One copy per process, not per framework handle: a second start-up replaces it and
// CloseVEXO ends it for every handle. No lock; start-up and shut-down are single-threaded.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/library.h"
#include "vexo.h"

namespace vexo {

struct driver_library_record {
  platform::library_handle module;
};

struct process_driver_state {
  std::unique_ptr<driver_library_record> library;  // absent when nothing is loaded
  CONFIG_DRIVER_INTERFACE_t config_table{};
  ZAM_LIB_INTERFACE_t* card_table = nullptr;  // set when the library offers a card table
  KEP_LIB_INTERFACE_t* kep_table = nullptr;   // set when it offers a known-endpoint table
  uint32_t driver_context = 0;                // written by the configuration driver's open
};

process_driver_state& driver_state();

// Forgets the bound tables (the library record is left alone).
void clear_driver_tables();

}  // namespace vexo
