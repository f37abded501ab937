// A bus: 32 device slots, the slot index being the device number on that bus.
#pragma once

#include "lattix/lattix_export.h"

class device;

class LATTIX_API bus {
 public:
  static constexpr int kSlots = 32;

  bus();
  // Slot i receives devices[i]; at most 32 entries are taken, the rest stay null.
  bus(device* const* devices, int count);

  // Null for an empty slot or a slot outside 0..31. The bus does not own its devices.
  device* getDevice(int slot) const { return slot >= 0 && slot < kSlots ? slots_[slot] : nullptr; }
  void setDevice(int slot, device* dev);

 private:
  device* slots_[kSlots] = {};
};
