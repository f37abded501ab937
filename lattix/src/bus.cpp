// Bus slots: the device number on a bus is the slot index.
#include "lattix/bus.h"

bus::bus() = default;

bus::bus(device* const* devices, int count) {
  for (int i = 0; i < count && i < kSlots; ++i) slots_[i] = devices ? devices[i] : nullptr;
}

void bus::setDevice(int slot, device* dev) {
  if (slot >= 0 && slot < kSlots) slots_[slot] = dev;
}
