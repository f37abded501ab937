// Depth-first walk over a hierarchy: each device once per place it is listed, bridges first.
//
// Devices come in pre-order: root bus slots in increasing order, and below every device
// whose function 0 is a bridge, the devices of that bridge's downstream bus (the bus
// number of a level is the bridge's secondary bus register when the walk went down).
// Only function 0 is followed downwards. The walk keeps at most kMaxDepth levels; the
// script parser rejects deeper hierarchies, and in a hand-built one the devices below
// the deepest level are not visited. Iterators are plain values and may be copied to
// start an inner walk at the current position.
#pragma once

#include <cstdint>

#include "lattix/lattix_export.h"
#include "lattix/types.h"

class bus;
class device;
class requestHandler;

class LATTIX_API topologyIterator {
 public:
  static constexpr int kMaxDepth = 100;

  // Positioned on the first device (or already over when the hierarchy is empty).
  explicit topologyIterator(const requestHandler* handler);

  void next();
  // Null when the walk is over.
  device* getDevice() const { return device_; }
  // Bus number of the level, slot, function 0, offset 0, Type 1 flag = below the root.
  // When the walk is over: bus 0xFFFFFFFF, device 0xFF, function 0xFF, offset 0xFFFF,
  // flag 0xFF.
  address getAddress() const { return address_; }
  // Number of bridges above the current device; -1 when the walk is over.
  int getDepth() const { return descended_ ? depth_ - 1 : depth_; }

 private:
  struct level {
    int slot;
    uint32_t busNumber;
    const bus* onBus;
  };
  void finish();

  level levels_[kMaxDepth] = {};
  int depth_ = 0;
  bool descended_ = false;
  address address_;
  device* device_ = nullptr;
};
