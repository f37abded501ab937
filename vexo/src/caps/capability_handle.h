// The record behind a capability handle.
#pragma once

#include <cstdint>

#include "vexo.h"

namespace vexo {

struct capability_record {
  VEXO_DEVICE_HANDLE_t device;
  uint32_t offset;
  uint32_t id;
  uint32_t length;
  uint32_t next;
};

// A zeroed record with these fields; null when memory runs out.
capability_record* make_capability(VEXO_DEVICE_HANDLE_t device, uint32_t offset, uint32_t id,
                                   uint32_t length = 0, uint32_t next = 0);
void free_capability(VEXO_CAP_HANDLE_t cap);

inline capability_record* capability_from_handle(VEXO_CAP_HANDLE_t cap) {
  return static_cast<capability_record*>(cap);
}

}  // namespace vexo
