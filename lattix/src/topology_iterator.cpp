// Depth-first pre-order walk of a hierarchy, following function 0 bridges downwards.
#include "lattix/topology_iterator.h"

#include "lattix/bus.h"
#include "lattix/device.h"
#include "lattix/packet_handler.h"

topologyIterator::topologyIterator(const requestHandler* handler) {
  levels_[0] = {-1, 0, handler ? handler->getRootBus() : nullptr};
  next();
}

void topologyIterator::finish() {
  device_ = nullptr;
  descended_ = false;
  address_ = {0xFFFFFFFFu, 0xFF, 0xFF, 0xFFFF, 0xFF};
}

void topologyIterator::next() {
  if (depth_ < 0) return;  // already over
  descended_ = false;
  for (;;) {
    level& here = levels_[depth_];
    device* found = nullptr;
    while (!found && ++here.slot < bus::kSlots)
      found = here.onBus ? here.onBus->getDevice(here.slot) : nullptr;
    if (found) {
      device_ = found;
      address_ = {here.busNumber, static_cast<uint8_t>(here.slot), 0, 0,
                  static_cast<uint8_t>(depth_ > 0)};
      if (found->isBridge(0) && depth_ + 1 < kMaxDepth) {
        ++depth_;
        levels_[depth_] = {-1, found->getSecondaryBus(0), found->getDownstreamBus(0)};
        descended_ = true;
      }
      return;
    }
    if (depth_ == 0) {
      depth_ = -1;
      finish();
      return;
    }
    --depth_;
  }
}
