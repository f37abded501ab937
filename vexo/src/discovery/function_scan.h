// The brute-force scan of bus/device/function numbers that every lookup uses.
#pragma once

#include <cstdint>

#include "device/device_record.h"

namespace vexo {

// Bus 255 is never visited.
inline constexpr uint32_t last_scanned_bus = 254;
inline constexpr uint32_t devices_per_bus = 32;
inline constexpr uint32_t functions_per_device = 8;

struct function_number {
  uint32_t bus = 0;
  uint32_t device = 0;
  uint32_t function = 0;
  friend bool operator==(const function_number&, const function_number&) = default;
};

using discovery_buffer = uint8_t[config_copy_size];

// Reads the first 64 configuration bytes into a zeroed buffer; true when all 64 came back.
bool read_discovery_header(const function_number& where, discovery_buffer& buffer);

inline uint16_t buffer_word(const discovery_buffer& buffer, uint32_t offset) {
  return static_cast<uint16_t>(buffer[offset] | (buffer[offset + 1] << 8));
}

enum class scan_step { go_on, skip_bus, stop };

// Visits every present function (read succeeded, vendor ID not 0xFFFF) from `start` to
// 254:31.7 in bus, device, function order. Failed reads count as absent functions.
// Returns true when the visitor stopped the scan.
template <typename Visit>
bool scan_functions(function_number start, Visit visit) {
  function_number at = start;
  discovery_buffer buffer;
  for (; at.bus <= last_scanned_bus; ++at.bus, at.device = 0) {
    for (; at.device < devices_per_bus; ++at.device, at.function = 0) {
      for (; at.function < functions_per_device; ++at.function) {
        if (!read_discovery_header(at, buffer) || buffer_word(buffer, 0) == 0xFFFF) continue;
        switch (visit(at, buffer)) {
          case scan_step::stop: return true;
          case scan_step::skip_bus: at.device = devices_per_bus; at.function = 0; break;
          case scan_step::go_on: continue;
        }
        break;
      }
    }
  }
  return false;
}

// Makes a record from a discovery buffer.
VEXO_STATUS_t make_record_at(const function_number& where, const discovery_buffer& buffer,
                             VEXO_DEVICE_HANDLE_t* dev);

}  // namespace vexo
