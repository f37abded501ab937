// The ZAM card: mode, trace configuration, one programmed command, arm/disarm, logging
// switch, action count and the trace buffer; served through card command packets.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "card/trace.h"

namespace zamsim {

// Card modes as the card reports them.
inline constexpr uint32_t mode_add_in_card = 0;
inline constexpr uint32_t mode_topology = 1;
inline constexpr uint32_t mode_known_endpoint = 2;

// Card commands (word 0 of the command packet).
namespace card_command {
inline constexpr uint32_t set_trace_config = 1;
inline constexpr uint32_t get_trace_config = 2;
inline constexpr uint32_t command3 = 3;
inline constexpr uint32_t get_properties = 5;
inline constexpr uint32_t logging = 6;
inline constexpr uint32_t read_trace = 7;
inline constexpr uint32_t trace_byte_count = 8;
inline constexpr uint32_t arm = 10;
inline constexpr uint32_t disarm = 11;
inline constexpr uint32_t program = 12;
inline constexpr uint32_t set_mode = 13;
inline constexpr uint32_t get_mode = 14;
inline constexpr uint32_t action_count = 15;
}  // namespace card_command

inline constexpr uint32_t command_packet_size = 56;
inline constexpr uint32_t command_map_size = 48;
// Firmware version 1.0 in the high half, trace buffer size in MiB in the low half.
inline constexpr uint32_t card_properties = 0x01000040;

class zam_card {
 public:
  zam_card(uint32_t mode, uint32_t next_boot_mode);

  // Serves one command packet; returns a Windows-style error code.
  uint32_t serve(const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                 uint32_t& returned);

  // Whether traffic is being recorded now (armed and logging not suspended).
  bool recording() const;
  trace_buffer& trace() { return trace_; }
  uint32_t mode() const;
  // A power cycle loads the next-boot mode.
  void power_cycle();
  void set_next_boot_mode(uint32_t mode);
  std::string describe() const;

 private:
  mutable std::mutex mutex_;
  uint32_t mode_;
  uint32_t next_boot_mode_;
  uint32_t trace_config_ = 0;
  uint32_t action_count_ = 0;
  uint8_t command_map_[command_map_size] = {};
  bool programmed_ = false;
  bool armed_ = false;
  bool logging_suspended_ = false;
  trace_buffer trace_;
};

}  // namespace zamsim
