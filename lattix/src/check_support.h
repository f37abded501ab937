// Helpers shared by the enumeration checks: reported addresses and script strings.
#pragma once

#include <cstring>

#include "lattix/device.h"
#include "lattix/packet_handler.h"
#include "lattix/types.h"

namespace lattix_checks {

// A function as the firmware addressed it: the bus and device number the device recorded
// from its last configuration write.
inline address reportedAddress(const device& dev, uint8_t fn, uint16_t offset, uint8_t type1) {
  return address{dev.GetBusNum(), dev.GetDevNum(), fn, offset, type1};
}

// Copies the device's script string into a NUL-terminated field of `size` bytes.
inline void copyScript(char* field, size_t size, const device& dev) {
  std::strncpy(field, dev.GetDevScriptString(), size - 1);
  field[size - 1] = '\0';
}

inline bus* rootBusOf(const packetHandler* handler) {
  const requestHandler* requests = handler ? handler->getRequestHandler() : nullptr;
  return requests ? requests->getRootBus() : nullptr;
}

}  // namespace lattix_checks
