// Test double of the driver interface library: behaviour set and calls observed per test.
//
// Built as libFakePellor.so (all three entry points), libFakePellorConfigOnly.so (no card
// or known-endpoint entry point) and libFakePellorNoConfig.so (no configuration entry
// point). Tests link libFakePellor to reach its control block; the framework loads the same
// file by name, which the loader maps to the same instance.
#pragma once

#include <cstdint>

#include "vexo.h"

#define FAKE_PELLOR_API ZAM_EXPORT

struct fake_pellor_control {
  // Behaviour.
  uint32_t get_interface_result = 1;  // 0: ConfigDriver_GetInterface refuses
  bool offer_open = true;
  uint32_t open_result = 1;
  uint32_t context_to_hand_out = 0x5A;  // written by OpenDriver into the driver word
  bool offer_query = true;
  uint32_t query_result = 0;  // nonzero: the driver reports the window below
  uint64_t reported_base = 0;
  uint64_t reported_length = 0;
  bool offer_set_window = true;
  uint32_t set_window_result = 1;
  bool offer_close = true;
  bool card_present = false;  // the card table answers IsZamDevice for card_bus/device/function
  uint32_t card_bus = 0, card_device = 0, card_function = 0;

  // Observations.
  uint32_t get_interface_calls = 0;
  uint32_t card_table_requests = 0;
  uint32_t kep_table_requests = 0;
  uint32_t open_calls = 0;
  uint32_t query_calls = 0;
  uint32_t set_window_calls = 0;
  uint64_t window_base = 0;
  uint64_t window_length = 0;
  uint32_t context_at_set_window = 0;
  uint32_t close_calls = 0;
  uint32_t context_at_close = 0;
};

extern "C" {
// The control block of the loaded double (libFakePellor only).
FAKE_PELLOR_API fake_pellor_control* fake_pellor();
// Back to the default behaviour, observations cleared.
FAKE_PELLOR_API void fake_pellor_reset();
}
