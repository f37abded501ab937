// The card check every card call makes, and forwarding a call to one card table slot.
#pragma once

#include "device/device_record.h"
#include "startup/driver_state.h"
#include "vexo.h"

namespace vexo {

// The record behind the handle when it is a card record (card flag 1), else null.
inline device_record* card_record(VEXO_DEVICE_HANDLE_t handle) {
  device_record* record = record_from_handle(handle);
  return record != nullptr && record->is_card == 1 ? record : nullptr;
}

// The bound card table's slot, or null when there is no table or it lacks the slot.
template <typename Slot>
Slot card_slot(Slot ZAM_LIB_INTERFACE_t::*slot) {
  const ZAM_LIB_INTERFACE_t* table = driver_state().card_table;
  return table == nullptr ? nullptr : table->*slot;
}

// Sends one card request for the card record: VEXO_STATUS_INVALID_PARAMETER when the record
// is not a card's or the slot is missing (the card is not contacted), else the slot's
// result (0 or VEXO_STATUS_INSUFFICIENT_RESOURCES) unchanged.
template <typename Slot, typename... Arguments>
VEXO_STATUS_t send_to_card(VEXO_DEVICE_HANDLE_t handle, Slot ZAM_LIB_INTERFACE_t::*slot,
                           Arguments... arguments) {
  const device_record* card = card_record(handle);
  if (card == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  Slot function = card_slot(slot);
  if (function == nullptr) return VEXO_STATUS_INVALID_PARAMETER;
  return function(card->bus, card->device, card->function, arguments...);
}

}  // namespace vexo
