// The ZAM card's command set.
#include "card/card.h"

#include <cstdio>
#include <cstring>

#include "platform/devio.h"

namespace zamsim {
namespace {

uint32_t word_at(const uint8_t* bytes, std::size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, 4);
  return value;
}

void put_word(uint8_t* bytes, std::size_t offset, uint32_t value) { std::memcpy(bytes + offset, &value, 4); }

}  // namespace

zam_card::zam_card(uint32_t mode, uint32_t next_boot_mode) : mode_(mode), next_boot_mode_(next_boot_mode) {}

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
      action_count_ = 0;
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

uint32_t zam_card::mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

void zam_card::power_cycle() {
  std::lock_guard lock(mutex_);
  mode_ = next_boot_mode_;
  armed_ = false;
  logging_suspended_ = false;
  trace_.clear();
}

void zam_card::set_next_boot_mode(uint32_t mode) {
  std::lock_guard lock(mutex_);
  next_boot_mode_ = mode;
}

std::string zam_card::describe() const {
  std::lock_guard lock(mutex_);
  static const char* const mode_names[] = {"add-in card", "topology", "known endpoint"};
  char line[256];
  std::string text;
  std::snprintf(line, sizeof line, "card: mode %u (%s), next-boot mode %u, %s, logging %s, action count %u\n",
                mode_, mode_ < 3 ? mode_names[mode_] : "unknown", next_boot_mode_, armed_ ? "armed" : "disarmed",
                logging_suspended_ ? "suspended" : "on", action_count_);
  text += line;
  std::snprintf(line, sizeof line, "card: trace configuration 0x%08X\n", trace_config_);
  text += line;
  if (programmed_) {
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
  text += trace_.describe(64);
  return text;
}

}  // namespace zamsim
