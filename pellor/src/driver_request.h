// One synchronous buffered request to a driver: the packet serves as input and output.
#pragma once

#include <cstdint>

#include "platform/devio.h"

namespace pellor {

// True when the driver accepted the request; `returned` (optional) gets the bytes written back.
inline bool send_request(platform::device_handle handle, uint32_t code, void* packet,
                         uint32_t in_size, uint32_t out_size, uint32_t* returned = nullptr) {
  uint32_t written = 0;
  const bool accepted = platform::device_control(handle, code, in_size ? packet : nullptr,
                                                 in_size, out_size ? packet : nullptr,
                                                 out_size, &written);
  if (returned != nullptr) *returned = written;
  return accepted;
}

}  // namespace pellor
