// The Advanced Error Reporting status bits the assertions check (PCIe Base 4.0 sec 7.8.4).
#pragma once

#include <cstdint>

namespace vexo::aer {

// Capability offsets of the two status registers.
inline constexpr uint32_t uncorrectable_status = 0x04;
inline constexpr uint32_t  training_error = 0;
inline constexpr uint32_t  dl_protocol_error = 4;
inline constexpr uint32_t  flow_control_protocol_error = 13;
inline constexpr uint32_t  completion_timeout = 14;
inline constexpr uint32_t  completer_abort = 15;
inline constexpr uint32_t  unexpected_completion = 16;
inline constexpr uint32_t  receiver_overflow = 17;
inline constexpr uint32_t  unsupported_request = 20;
inline constexpr uint32_t correctable_status = 0x10;
inline constexpr uint32_t  receiver_error = 0;
inline constexpr uint32_t  bad_tlp = 6;
inline constexpr uint32_t  bad_dllp = 7;
inline constexpr uint32_t  replay_num_rollover = 8;
inline constexpr uint32_t  replay_timer_timeout = 12;

}  // namespace vexo::aer
