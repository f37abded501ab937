// Request routing through buses and bridges, shared by the request handler and devices.
#pragma once

#include "lattix/types.h"

class bus;
class device;

namespace lattix_routing {

// The device that a request for `where` reaches starting on `onBus`, or null. Sets the
// target's status to 0, or 2 when it answers for another device number.
device* routeOnBus(bus* onBus, address where);

// Steps a request through bridge function fn of `bridgeDevice`: turns it into Type 0 when
// its bus is the secondary bus, and returns the downstream bus.
bus* crossBridge(const device& bridgeDevice, uint8_t fn, address& where);

}  // namespace lattix_routing
