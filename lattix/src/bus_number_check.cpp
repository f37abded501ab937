// Bus numbering check: every bridge's primary, secondary and subordinate numbers, and gaps.
#include "lattix/bus.h"
#include "lattix/enumeration_checks.h"
#include "check_support.h"

namespace {

constexpr int kBusNumbers = 256;

busEnumerationError bridgeError(int parentBus, int slot, int p, int s, int u) {
  busEnumerationError e;
  e.errorFound = 1;
  e.parentBus = parentBus;
  e.device = static_cast<uint8_t>(slot);
  e.belowRoot = parentBus > 0;
  e.busResult = p;
  e.primary = p;
  e.secondary = s;
  e.subordinate = u;
  return e;
}

}  // namespace

busEnumerationError subFindBusEnumerationError(bus* onBus, int parentBus, int subordinateLimit) {
  // claimed[n] for bus numbers parentBus+1..subordinateLimit. Bus registers are bytes, so
  // a fixed table covers every range; recursion is bounded because each level's primary
  // must be below its secondary.
  bool claimed[kBusNumbers] = {};
  busEnumerationError firstGapBelow;
  bool gapBelow = false;
  for (int slot = 0; onBus && slot < bus::kSlots; ++slot) {
    device* dev = onBus->getDevice(slot);
    if (!dev) continue;
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev->isBridge(fn)) continue;
      const int p = dev->getPrimaryBus(fn);
      const int s = dev->getSecondaryBus(fn);
      const int u = dev->getSubordinateBus(fn);
      if (p != parentBus || p >= s || u < s || u > subordinateLimit)
        return bridgeError(parentBus, slot, p, s, u);
      for (int n = s; n <= u; ++n)
        if (claimed[n]) return bridgeError(parentBus, slot, p, s, u);
      for (int n = s; n <= u; ++n) claimed[n] = true;
      // An unused bus number below is remembered, not returned: the bridges after this
      // one must still be checked, or a gap would hide their errors.
      const busEnumerationError below = subFindBusEnumerationError(dev->getDownstreamBus(fn), s, u);
      if (below.errorFound) return below;
      if (below.busResult >= 0 && !gapBelow) {
        firstGapBelow = below;
        gapBelow = true;
      }
    }
  }
  if (gapBelow) return firstGapBelow;
  busEnumerationError result;
  result.parentBus = parentBus;
  result.belowRoot = parentBus > 0;
  result.busResult = -1;
  for (int n = parentBus + 1; n <= subordinateLimit && n < kBusNumbers; ++n) {
    if (n >= 0 && !claimed[n]) {
      result.busResult = n;
      break;
    }
  }
  return result;
}

busEnumerationError findBusEnumerationError(packetHandler* handler) {
  bus* root = lattix_checks::rootBusOf(handler);
  int parentBus = kBusNumbers;
  int subordinateLimit = -1;
  for (int slot = 0; root && slot < bus::kSlots; ++slot) {
    const device* dev = root->getDevice(slot);
    if (!dev) continue;
    for (uint8_t fn = 0; fn < device::kMaxFunctions; ++fn) {
      if (!dev->isBridge(fn)) continue;
      if (dev->getPrimaryBus(fn) < parentBus) parentBus = dev->getPrimaryBus(fn);
      if (dev->getSubordinateBus(fn) > subordinateLimit)
        subordinateLimit = dev->getSubordinateBus(fn);
    }
  }
  // Without bridges there is nothing to number.
  if (subordinateLimit < 0) parentBus = subordinateLimit = 0;
  return subFindBusEnumerationError(root, parentBus, subordinateLimit);
}
