// Configuration reads and writes routed to the Farrow port, known-endpoint or
// configuration-space driver that serves the BDF.
#pragma once

#include <cstdint>

namespace pellor {

// Whether offset + length fits one request (computed without 32-bit wrap-around).
inline bool fits_config_space(uint32_t offset, uint32_t length) {
  return static_cast<uint64_t>(offset) + length <= 4096u;
}

inline bool valid_bdf(uint32_t bus, uint32_t device, uint32_t function) {
  return bus <= 255 && device <= 31 && function <= 7;
}

// Routed access without argument checks beyond the packet bound; returns length or 0.
uint32_t routed_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                     uint32_t length, void* buffer);
uint32_t routed_write(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, const void* buffer);

// The ReadConfig slot: clears the buffer, checks BDF, bounds and buffer, then routes.
uint32_t checked_read(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset,
                      uint32_t length, void* buffer);

}  // namespace pellor
