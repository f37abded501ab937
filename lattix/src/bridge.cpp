// Bridges: secondary bus reset on writes to function 0, resets that reach the devices below.
#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/pci_regs.h"

bridge::bridge() { addFunction(0, 2); }

bridge::bridge(configSpace* const* spaces, int count, bus* downstream, double value)
    : device(spaces, count, value) {
  setDownstreamBus(0, downstream);
}

bridge::bridge(configSpace* const* spaces, int count) : device(spaces, count, 0.0) {}

void bridge::write1(uint8_t fn, uint16_t offset, uint8_t value) {
  device::write1(fn, offset, value);
  secondaryBusResetIfSet(fn, offset, 1, value);
}

void bridge::write2(uint8_t fn, uint16_t offset, uint16_t value) {
  device::write2(fn, offset, value);
  secondaryBusResetIfSet(fn, offset, 2, value);
}

void bridge::write4(uint8_t fn, uint16_t offset, uint32_t value) {
  device::write4(fn, offset, value);
  secondaryBusResetIfSet(fn, offset, 4, value);
}

void bridge::secondaryBusResetIfSet(uint8_t fn, uint16_t offset, int width, uint32_t value) {
  if (fn != 0 || offset > LX_BRIDGE_CONTROL || offset + width <= LX_BRIDGE_CONTROL) return;
  const int shift = 8 * (LX_BRIDGE_CONTROL - offset);
  if (!((value >> shift) & LX_BRIDGE_CTL_BUS_RESET)) return;
  bus* below = getDownstreamBus(0);
  if (!below) return;
  // The bit keeps its written value; only the devices below are reset.
  for (int slot = 0; slot < bus::kSlots; ++slot)
    if (device* dev = below->getDevice(slot)) dev->resetTree(true, 1);
}

void bridge::hotReset() { resetTree(true, 0); }
void bridge::coldReset() { resetTree(false, 0); }

void bridge::resetTree(bool hot, int depth) {
  resetFunctions(hot);
  resetBelow(hot, depth);
}
