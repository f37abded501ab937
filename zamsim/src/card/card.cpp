// The ZAM card's command set.
#include "card/card.h"

#include <cstdio>
#include <cstring>

#include "platform/devio.h"
#include "zamtrace/decode.h"
#include "zamtrace/format.h"

namespace zamsim {
namespace {

uint32_t word_at(const uint8_t* bytes, std::size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, 4);
  return value;
}

void put_word(uint8_t* bytes, std::size_t offset, uint32_t value) { std::memcpy(bytes + offset, &value, 4); }

// Command record layout (the 48 bytes after the command word).
constexpr std::size_t record_code = 1;
constexpr std::size_t record_count = 6;  // 12 bits: bits 11-8 in the low half of byte 6, 7-0 in byte 7
constexpr std::size_t record_value = 8;
constexpr std::size_t record_mask = 24;
constexpr std::size_t record_parameter = 40;

bool acts_upstream(uint8_t code) {
  using namespace fault_command;
  return code == nak || code == no_ack_nak || code == ack_nak_delay_legal || code == delay_tlp ||
         code == dllp_bogus_seq_num;
}

bool acts_downstream(uint8_t code) {
  return code == fault_command::corrupt_lcrc || code == fault_command::duplicate_seq_num;
}

bool acts_on_acks(uint8_t code) {
  using namespace fault_command;
  return code == corrupt_dllp || code == dllp_reserved_bits || code == undefined_dllp;
}

}  // namespace

const char* fault_command_name(uint8_t code) {
  switch (code) {
    case fault_command::nak: return "NAK";
    case fault_command::no_ack_nak: return "NO_ACK_NAK";
    case fault_command::ack_nak_delay_legal: return "ACK_NAK_DELAY_LEGAL";
    case fault_command::corrupt_lcrc: return "CORRUPT_LCRC";
    case fault_command::duplicate_seq_num: return "DUPLICATE_SEQ_NUM";
    case fault_command::delay_tlp: return "DELAY_TLP";
    case fault_command::corrupt_dllp: return "CORRUPT_DLLP";
    case fault_command::dllp_reserved_bits: return "DLLP_RESERVED_BITS";
    case fault_command::undefined_dllp: return "UNDEFINED_DLLP";
    case fault_command::dllp_bogus_seq_num: return "DLLP_BOGUS_SEQ_NUM";
    default: return "none";
  }
}

uint8_t fpga_mode_register(uint32_t mode) {
  switch (mode) {
    case mode_add_in_card: return 1;
    case mode_topology: return 4;
    case mode_known_endpoint: return 2;
    default: return 0;
  }
}

uint32_t next_boot_value_of(uint32_t mode) {
  switch (mode) {
    case mode_topology: return 2;
    case mode_known_endpoint: return 1;
    default: return 3;
  }
}

uint32_t mode_of_next_boot_value(uint32_t value) {
  switch (value & 0x3) {
    case 1: return mode_known_endpoint;
    case 2: return mode_topology;
    default: return mode_add_in_card;  // 3, and 0: the factory default loads the add-in card image
  }
}

zam_card::zam_card(uint32_t mode, uint32_t next_boot_mode)
    : mode_(mode), next_boot_value_(next_boot_value_of(next_boot_mode)) {}

uint32_t zam_card::serve(const uint8_t* in, uint32_t in_length, uint8_t* out, uint32_t out_capacity,
                         uint32_t& returned) {
  using namespace platform;
  if (in_length < command_packet_size || out_capacity < command_packet_size) return error::invalid_parameter;
  const uint32_t command = word_at(in, 0);

  if (command == card_command::read_trace) {
    uint64_t wanted;
    std::memcpy(&wanted, in + 8, 8);
    if (wanted > out_capacity - command_packet_size) return error::insufficient_buffer;
    std::memcpy(out, in, command_packet_size);
    const uint64_t delivered = trace_.read(out + command_packet_size, static_cast<std::size_t>(wanted));
    std::memcpy(out + 8, &delivered, 8);
    returned = command_packet_size + static_cast<uint32_t>(delivered);
    return error::success;
  }

  if (in_length != command_packet_size) return error::invalid_parameter;
  std::memcpy(out, in, command_packet_size);
  const uint32_t argument = word_at(in, 4);
  std::lock_guard lock(mutex_);
  switch (command) {
    case card_command::set_trace_config: trace_config_ = argument; break;
    case card_command::get_trace_config: put_word(out, 4, trace_config_); break;
    case card_command::command3: break;
    case card_command::get_properties: put_word(out, 4, card_properties); break;
    case card_command::logging: logging_suspended_ = argument != 0; break;
    case card_command::trace_byte_count: put_word(out, 4, static_cast<uint32_t>(trace_.size())); break;
    case card_command::arm:
      trace_.clear();  // a new capture starts empty
      action_count_ = (command_map_[record_count] & 0x0Fu) << 8 | command_map_[record_count + 1];
      armed_ = true;
      break;
    case card_command::disarm: armed_ = false; break;
    case card_command::program:
      std::memcpy(command_map_, in + 4, command_map_size);
      programmed_ = true;
      break;
    case card_command::set_mode: mode_ = argument; break;
    case card_command::get_mode: put_word(out, 4, mode_); break;
    case card_command::action_count: put_word(out, 4, action_count_); break;
    default: return error::invalid_function;
  }
  returned = command_packet_size;
  return error::success;
}

bool zam_card::recording() const {
  std::lock_guard lock(mutex_);
  return armed_ && !logging_suspended_;
}

bool zam_card::record(const link_packet& packet, bool upstream, uint64_t now) {
  std::lock_guard lock(mutex_);
  last_recorded_ = false;
  trace_note note{true, !upstream, packet.card_action, now};
  if (packet.is_tlp) {
    // A sequence number at or behind the newest one seen in this direction (within half
    // the sequence space) comes again: a replay, unless the card itself sent it twice.
    const int side = upstream ? 1 : 0;
    const bool again = seen_sequence_[side] && seq_distance(packet.sequence, newest_sequence_[side]) < 2048;
    if (!again) {
      seen_sequence_[side] = true;
      newest_sequence_[side] = packet.sequence;
    }
    if (note.action == trace_action::none) {
      if (again) note.action = trace_action::replay;
      if (!lcrc_good(packet)) note.action = trace_action::bad_lcrc;
    }
  }
  if (!armed_ || logging_suspended_) return false;
  if (!(trace_config_ & (packet.is_tlp ? trace_config_tlps : trace_config_dllps))) return false;
  // Direction: 00 and 10 upstream only, 01 downstream only, 11 both.
  const uint32_t direction = (trace_config_ >> trace_config_direction_shift) & 3;
  const bool wanted = direction == 3 || (direction == 1 ? !upstream : upstream);
  if (!wanted) return false;
  if (packet.is_tlp) {
    trace_.add_tlp(packet.bytes, note);
  } else {
    trace_.add_dllp(packet.bytes, note);
  }
  last_recorded_ = true;
  return true;
}

void zam_card::mark_discarded() {
  std::lock_guard lock(mutex_);
  if (last_recorded_) trace_.set_last_action(trace_action::discarded);
}

uint8_t zam_card::act_on_tlp(const std::vector<uint8_t>& tlp, bool upstream) {
  std::lock_guard lock(mutex_);
  const uint8_t code = command_map_[record_code];
  if (!armed_ || action_count_ == 0 || !(upstream ? acts_upstream(code) : acts_downstream(code))) return 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const uint8_t header = i < tlp.size() ? tlp[i] : 0;
    const uint8_t mask = command_map_[record_mask + i];
    if ((header & mask) != (command_map_[record_value + i] & mask)) return 0;
  }
  --action_count_;
  return code;
}

uint8_t zam_card::act_on_ack() {
  std::lock_guard lock(mutex_);
  const uint8_t code = command_map_[record_code];
  if (!armed_ || action_count_ == 0 || !acts_on_acks(code)) return 0;
  --action_count_;
  return code;
}

uint32_t zam_card::command_parameter() const {
  std::lock_guard lock(mutex_);
  return word_at(command_map_, record_parameter);
}

uint8_t zam_card::command_type_byte() const {
  std::lock_guard lock(mutex_);
  return command_map_[record_value];
}

bool zam_card::armed() const {
  std::lock_guard lock(mutex_);
  return armed_;
}

uint32_t zam_card::mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

void zam_card::power_cycle() {
  std::lock_guard lock(mutex_);
  const uint32_t value = (dip_switches_ & dip_debug) ? dip_switches_ & 0x3u : next_boot_value_;
  mode_ = mode_of_next_boot_value(value);
  ++power_cycles_;
  trace_config_ = trace_config_power_on;
  armed_ = false;
  logging_suspended_ = false;
  last_recorded_ = false;
  seen_sequence_[0] = seen_sequence_[1] = false;
  trace_.clear();
}

void zam_card::set_next_boot_mode(uint32_t mode) {
  std::lock_guard lock(mutex_);
  next_boot_value_ = next_boot_value_of(mode);
}

uint32_t zam_card::next_boot_value() const {
  std::lock_guard lock(mutex_);
  return next_boot_value_;
}

void zam_card::set_next_boot_value(uint32_t value) {
  std::lock_guard lock(mutex_);
  next_boot_value_ = value & 0x3u;
}

uint8_t zam_card::dip_switches() const {
  std::lock_guard lock(mutex_);
  return dip_switches_;
}

void zam_card::set_dip_switches(uint8_t switches) {
  std::lock_guard lock(mutex_);
  dip_switches_ = switches & 0x7u;
}

uint32_t zam_card::power_cycles() const {
  std::lock_guard lock(mutex_);
  return power_cycles_;
}

std::string zam_card::describe() const {
  std::lock_guard lock(mutex_);
  static const char* const mode_names[] = {"add-in card", "topology", "known endpoint"};
  char line[256];
  std::string text;
  std::snprintf(line, sizeof line,
                "card: mode %u (%s, FPGA mode register %u), next-boot mode %u (next-boot value %u), %s, logging %s, "
                "action count %u\n",
                mode_, mode_ < 3 ? mode_names[mode_] : "unknown", fpga_mode_register(mode_),
                mode_of_next_boot_value(next_boot_value_), next_boot_value_, armed_ ? "armed" : "disarmed",
                logging_suspended_ ? "suspended" : "on", action_count_);
  text += line;
  std::snprintf(line, sizeof line, "card: trace configuration 0x%08X\n", trace_config_);
  text += line;
  if (programmed_) {
    const uint8_t code = command_map_[record_code];
    std::snprintf(line, sizeof line, "card: command 0x%02X (%s), count %u, %u actions still to do\n", code,
                  fault_command_name(code), (command_map_[record_count] & 0x0Fu) << 8 | command_map_[record_count + 1],
                  action_count_);
    text += line;
    text += "card: programmed command";
    for (uint8_t b : command_map_) {
      std::snprintf(line, sizeof line, " %02X", b);
      text += line;
    }
    text += "\n";
  } else {
    text += "card: no command programmed\n";
  }
  std::snprintf(line, sizeof line, "trace buffer: %zu bytes%s\n", trace_.size(),
                trace_.dropped() ? " (full: records dropped)" : "");
  text += line;
  // The trace decoded, as zamtrace lists it; a long one is cut after the first records.
  constexpr std::size_t shown_records = 256;
  const std::vector<uint8_t> bytes = trace_.bytes();
  std::size_t records = 0;
  if (!bytes.empty()) text += "  " + zamtrace::listing_heading();
  zamtrace::for_each_record(bytes.data(), bytes.size(), [&](const zamtrace::decoded_record& r) {
    if (records++ < shown_records) text += "  " + zamtrace::listing_line(r);
  });
  if (records > shown_records) {
    text += "  ... " + std::to_string(records - shown_records) + " more records (zamtrace --card lists them all)\n";
  }
  return text;
}

}  // namespace zamsim
