// Request routing: Type 1 through the bridge whose bus range holds the bus, Type 0 by slot.
#include "routing.h"

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/pci_regs.h"
#include "lattix/status.h"

namespace lattix_routing {
namespace {

constexpr int kMaxDeviceNumber = 31;

// The first implemented bridge function whose secondary..subordinate range holds busNumber.
// Reads the cells directly: this runs for every Type 1 request on every bus it crosses.
bool findClaimingBridge(const bus& onBus, uint32_t busNumber, device*& taker, uint8_t& fn) {
  for (int slot = 0; slot < bus::kSlots; ++slot) {
    device* dev = onBus.getDevice(slot);
    if (!dev) continue;
    for (uint8_t f = 0; f < device::kMaxFunctions; ++f) {
      const configSpace* space = dev->getFunction(f);
      if (!space || (space->cells[LX_HEADER_TYPE].value & LX_HEADER_TYPE_MASK) == 0) continue;
      if (space->read(LX_SECONDARY_BUS, 1) <= busNumber &&
          busNumber <= space->read(LX_SUBORDINATE_BUS, 1)) {
        taker = dev;
        fn = f;
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
    if (!findClaimingBridge(*onBus, where.bus, taker, fn)) return nullptr;
    onBus = crossBridge(*taker, fn, where);
  }
  return nullptr;
}

}  // namespace lattix_routing

device* device::findDevice(uint8_t fn, address where) {
  if (!isBridge(fn)) return nullptr;
  bus* below = lattix_routing::crossBridge(*this, fn, where);
  return lattix_routing::routeOnBus(below, where);
}
