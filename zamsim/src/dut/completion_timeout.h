// How long a request of the device waits for its completion, from its Device Capabilities 2
// (Completion Timeout Ranges Supported) and Device Control 2 (Completion Timeout Value),
// PCIe Base 4.0 sec 7.5.3.15 and 7.5.3.16.
#pragma once

#include <cstdint>

namespace zamsim {

// Nanoseconds of virtual time. Value 0000b (and any value the device does not support: a
// reserved encoding or a range it does not advertise) gives the default, 50 ms; a value of
// a supported range gives the upper bound of that range (0101b: 55 ms).
uint64_t completion_timeout_ns(uint32_t device_capabilities_2, uint16_t device_control_2);

inline constexpr uint64_t default_completion_timeout_ns = 50'000'000;

}  // namespace zamsim
