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

// The same modes as the FPGA mode register (xdata 0xD800) reads them.
uint8_t fpga_mode_register(uint32_t mode);
// Next-boot values as the I2C device 0x53 keeps them: 0 factory default (loads the add-in
// card image), 1 known endpoint, 2 topology, 3 add-in card.
uint32_t next_boot_value_of(uint32_t mode);
uint32_t mode_of_next_boot_value(uint32_t value);
// DIP switch 3 (bit 2) on: debug mode, switches 2-1 (bits 1:0) choose the next-boot value.
inline constexpr uint8_t dip_debug = 0x4;

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

// Fault-injection command codes (byte 1 of the programmed command).
namespace fault_command {
inline constexpr uint8_t nak = 0x01;
inline constexpr uint8_t no_ack_nak = 0x02;
inline constexpr uint8_t ack_nak_delay_legal = 0x03;
inline constexpr uint8_t corrupt_lcrc = 0x05;
inline constexpr uint8_t duplicate_seq_num = 0x0B;
inline constexpr uint8_t delay_tlp = 0x0C;
inline constexpr uint8_t corrupt_dllp = 0x20;
inline constexpr uint8_t dllp_reserved_bits = 0x21;
inline constexpr uint8_t undefined_dllp = 0x22;
inline constexpr uint8_t dllp_bogus_seq_num = 0x23;
}  // namespace fault_command

// The name of a fault-injection command code ("NAK", ...), or "none" for codes that do nothing.
const char* fault_command_name(uint8_t code);

// Trace configuration word bits.
inline constexpr uint32_t trace_config_tlps = 1u << 12;
inline constexpr uint32_t trace_config_dllps = 1u << 9;
inline constexpr uint32_t trace_config_direction_shift = 10;  // 2 bits
inline constexpr uint32_t trace_config_power_on = 0x1E00;

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
  bool armed() const;
  // Records a packet crossing the card's downstream port when the card is recording and
  // its trace configuration word asks for that kind and direction; the record carries its
  // direction, the virtual time `now` (ns) and what the card did to the packet (a TLP whose
  // sequence number the card saw before in the same direction is a replay). True when
  // the packet was recorded.
  bool record(const link_packet& packet, bool upstream, uint64_t now = 0);
  // Marks the last packet recorded as a TLP the card discarded (and Nak'd), when the last
  // record() call recorded one.
  void mark_discarded();

  // The link asks whether the armed command acts on a TLP (upstream: received from the
  // device under test) or on the card's next Ack to it; when it does, one action is taken
  // and the command code is returned, else 0.
  uint8_t act_on_tlp(const std::vector<uint8_t>& tlp, bool upstream);
  uint8_t act_on_ack();
  // The command's parameter (bytes 40-43) and the type byte for UNDEFINED_DLLP (byte 8).
  uint32_t command_parameter() const;
  uint8_t command_type_byte() const;
  trace_buffer& trace() { return trace_; }
  uint32_t mode() const;
  // A power cycle loads the next-boot mode (the DIP switches' in debug mode).
  void power_cycle();
  void set_next_boot_mode(uint32_t mode);
  uint32_t next_boot_value() const;
  void set_next_boot_value(uint32_t value);
  uint8_t dip_switches() const;
  void set_dip_switches(uint8_t switches);
  // How many power cycles the card has seen (a waiting bulk read ends at the next one).
  uint32_t power_cycles() const;
  std::string describe() const;

 private:
  mutable std::mutex mutex_;
  uint32_t mode_;
  uint32_t next_boot_value_;
  uint8_t dip_switches_ = 0;
  uint32_t power_cycles_ = 0;
  uint32_t trace_config_ = trace_config_power_on;
  uint32_t action_count_ = 0;
  uint8_t command_map_[command_map_size] = {};
  bool programmed_ = false;
  bool armed_ = false;
  bool logging_suspended_ = false;
  bool last_recorded_ = false;
  // The newest TLP sequence number seen per direction (0 downstream, 1 upstream), for replays.
  bool seen_sequence_[2] = {false, false};
  uint16_t newest_sequence_[2] = {0, 0};
  trace_buffer trace_;
};

}  // namespace zamsim
