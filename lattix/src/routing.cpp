// Request routing: Type 1 through the bridge whose bus range holds the bus, Type 0 by slot.
#include "routing.h"

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"

namespace lattix_routing {
namespace {

constexpr int kMaxDeviceNumber = 31;

// One byte of a configuration space as a read returns it (value AND read mask), without
// the call: routing reads three bytes of every function on every bus it crosses.
uint8_t readByte(const configSpace& space, uint32_t offset) {
  const registerCell& cell = space.cells[offset];
  return static_cast<uint8_t>(cell.value & cell.readMask);
}

// The first implemented bridge function whose secondary..subordinate range holds busNumber,
// and its secondary bus. Reads the cells directly: this runs for every Type 1 request on
// every bus it crosses.
bool findClaimingBridge(const bus& onBus, uint32_t busNumber, device*& taker, uint8_t& fn,
                        uint8_t& secondary) {
  for (int slot = 0; slot < bus::kSlots; ++slot) {
    device* dev = onBus.getDevice(slot);
    if (!dev) continue;
    for (uint8_t f = 0; f < device::kMaxFunctions; ++f) {
      const configSpace* space = dev->getFunction(f);
      if (!space || (space->cells[LX_HEADER_TYPE].value & LX_HEADER_TYPE_MASK) == 0) continue;
      const uint8_t low = readByte(*space, LX_SECONDARY_BUS);
      if (low <= busNumber && busNumber <= readByte(*space, LX_SUBORDINATE_BUS)) {
        taker = dev;
        fn = f;
        secondary = low;
        return true;
      }
    }
  }
  return false;
}

// The device in the requested slot, else the first device that answers for any device
// number (through an implemented non-bridge function).
device* type0Target(const bus& onBus, uint8_t deviceNumber) {
  if (device* dev = onBus.getDevice(deviceNumber)) {
    dev->setStatus(lattix_status::ok);
    return dev;
  }
  for (int slot = 0; slot < bus::kSlots; ++slot) {
    device* dev = onBus.getDevice(slot);
    if (!dev || !dev->respondToWrongDevice()) continue;
    for (uint8_t f = 0; f < device::kMaxFunctions; ++f) {
      if (dev->isFunction(f) && !dev->isBridge(f)) {
        dev->setStatus(lattix_status::answeredForOtherDevice);
        return dev;
      }
    }
  }
  return nullptr;
}

}  // namespace

bus* crossBridge(const device& bridgeDevice, uint8_t fn, address& where) {
  if (where.bus == bridgeDevice.getSecondaryBus(fn)) where.type1 = 0;
  return bridgeDevice.getDownstreamBus(fn);
}

device* routeOnBus(bus* onBus, address where) {
  // Each hop crosses one bridge; the bound stops a hand-built hierarchy whose bridges
  // claim each other's buses in a loop.
  for (int hop = 0; onBus && hop <= device::kMaxHierarchyDepth; ++hop) {
    if (where.device > kMaxDeviceNumber) return nullptr;
    if (!where.type1) return type0Target(*onBus, where.device);
    device* taker = nullptr;
    uint8_t fn = 0;
    uint8_t secondary = 0;
    if (!findClaimingBridge(*onBus, where.bus, taker, fn, secondary)) return nullptr;
    // As crossBridge, with the secondary bus already read from the claiming function.
    if (where.bus == secondary) where.type1 = 0;
    onBus = taker->getDownstreamBus(fn);
  }
  return nullptr;
}

}  // namespace lattix_routing

device* device::findDevice(uint8_t fn, address where) {
  if (!isBridge(fn)) return nullptr;
  bus* below = lattix_routing::crossBridge(*this, fn, where);
  return lattix_routing::routeOnBus(below, where);
}
