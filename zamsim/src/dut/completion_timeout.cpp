// Completion Timeout Value encodings (PCIe Base 4.0 sec 7.5.3.16): range A 0001b 50-100 us,
// 0010b 1-10 ms; range B 0101b 16-55 ms, 0110b 65-210 ms; range C 1001b 260-900 ms,
// 1010b 1-3.5 s; range D 1101b 4-13 s, 1110b 17-64 s.
#include "dut/completion_timeout.h"

namespace zamsim {

uint64_t completion_timeout_ns(uint32_t device_capabilities_2, uint16_t device_control_2) {
  struct encoding {
    uint16_t value;
    uint32_t range;  // the Completion Timeout Ranges Supported bit it belongs to
    uint64_t upper_ns;
  };
  static constexpr encoding encodings[] = {
      {0x1, 0x1, 100'000},         {0x2, 0x1, 10'000'000},         // range A
      {0x5, 0x2, 55'000'000},      {0x6, 0x2, 210'000'000},        // range B
      {0x9, 0x4, 900'000'000},     {0xA, 0x4, 3'500'000'000},      // range C
      {0xD, 0x8, 13'000'000'000},  {0xE, 0x8, 64'000'000'000},     // range D
  };
  const uint16_t value = device_control_2 & 0xF;
  for (const auto& e : encodings) {
    if (e.value == value && (device_capabilities_2 & e.range) != 0) return e.upper_ns;
  }
  return default_completion_timeout_ns;
}

}  // namespace zamsim
