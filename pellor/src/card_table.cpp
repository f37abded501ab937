// The card table's command slots: one command packet to the card record the BDF selects.
#include <algorithm>
#include <cstring>
#include <memory>

#include "allocation.h"
#include "driver_request.h"
#include "state.h"
#include "tables.h"
#include "upstream_search.h"

namespace pellor {
namespace {

// The first Farrow-port card record that is this BDF or has this bus behind it.
platform::device_handle card_for(const bdf& address) {
  card_context* context = state.card;
  if (context == nullptr || !context->cards) return platform::invalid_handle;
  std::lock_guard lock(context->lock);
  for (uint32_t i = 0; i < context->card_count; ++i) {
    const card_record& card = context->cards[i];
    if (!card.valid() || card.port_type() != PELLOR_PORT_TYPE_FARROW) continue;
    if (card.address == address || card.port[0] == address.bus) return card.handle;
  }
  return platform::invalid_handle;
}

// Sends one command; on success the argument word comes back in *result (when asked for).
uint32_t send_command(uint32_t bus, uint32_t device, uint32_t function, uint32_t command,
                      uint32_t argument, uint32_t* result = nullptr) {
  const platform::device_handle handle = card_for(bdf{bus, device, function});
  if (handle == platform::invalid_handle) return PELLOR_CARD_FAILED;
  PELLOR_CARD_COMMAND_PACKET_t packet{};
  packet.command = command;
  packet.u.argument = argument;
  if (!send_request(handle, PELLOR_IOCTL_CARD_COMMAND, &packet, sizeof packet, sizeof packet)) {
    return PELLOR_CARD_FAILED;
  }
  if (result != nullptr) *result = packet.u.argument;
  return 0;
}

// A query with nowhere to put its answer is refused before anything is sent.
uint32_t query(uint32_t bus, uint32_t device, uint32_t function, uint32_t command,
               uint32_t* value) {
  if (value == nullptr) return PELLOR_CARD_FAILED;
  return send_command(bus, device, function, command, 0, value);
}

uint32_t is_zam_device(uint32_t bus, uint32_t device, uint32_t function) {
  card_context* context = state.card;
  if (context == nullptr || !context->cards) return 0;
  const bdf address{bus, device, function};
  std::lock_guard lock(context->lock);
  for (uint32_t i = 0; i < context->card_count; ++i) {
    if (context->cards[i].valid() && context->cards[i].address == address) return 1;
  }
  return 0;
}

uint32_t get_trace_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value) {
  return query(bus, device, function, PELLOR_CARD_GET_TRACE_CONFIG, value);
}

uint32_t set_trace_config(uint32_t bus, uint32_t device, uint32_t function, uint32_t value) {
  return send_command(bus, device, function, PELLOR_CARD_SET_TRACE_CONFIG, value);
}

uint32_t get_trace_byte_count(uint32_t bus, uint32_t device, uint32_t function,
                              uint32_t* value) {
  return query(bus, device, function, PELLOR_CARD_GET_TRACE_BYTE_COUNT, value);
}

// The card offers no command for it: nothing is sent.
uint32_t write_pattern_to_trace(uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }

uint32_t read_trace(uint32_t bus, uint32_t device, uint32_t function, uint32_t* byte_count,
                    void* destination) {
  if (byte_count == nullptr || (destination == nullptr && *byte_count != 0)) {
    return PELLOR_CARD_FAILED;
  }
  const uint32_t wanted = *byte_count;
  const uint64_t packet_size = uint64_t{sizeof(PELLOR_TRACE_READ_HEADER_t)} + wanted;
  if (packet_size > UINT32_MAX) return PELLOR_CARD_FAILED;
  const platform::device_handle handle = card_for(bdf{bus, device, function});
  if (handle == platform::invalid_handle) return PELLOR_CARD_FAILED;

  std::unique_ptr<uint8_t[]> packet(allocation::create_array<uint8_t>(packet_size));
  if (!packet) return PELLOR_CARD_FAILED;
  PELLOR_TRACE_READ_HEADER_t header{};
  header.command = PELLOR_CARD_READ_TRACE;
  header.byte_count = wanted;
  std::memcpy(packet.get(), &header, sizeof header);
  const auto size = static_cast<uint32_t>(packet_size);
  if (!send_request(handle, PELLOR_IOCTL_CARD_COMMAND, packet.get(), size, size)) {
    return PELLOR_CARD_FAILED;
  }
  std::memcpy(&header, packet.get(), sizeof header);
  // Never copy more than the caller asked for, whatever count the driver reports.
  const auto delivered = static_cast<uint32_t>(std::min<uint64_t>(header.byte_count, wanted));
  if (delivered != 0) std::memcpy(destination, packet.get() + sizeof header, delivered);
  *byte_count = delivered;
  return 0;
}

uint32_t get_properties(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value) {
  return query(bus, device, function, PELLOR_CARD_GET_PROPERTIES, value);
}

uint32_t command_3(uint32_t bus, uint32_t device, uint32_t function) {
  return send_command(bus, device, function, PELLOR_CARD_COMMAND_3, 0);
}

uint32_t disarm(uint32_t bus, uint32_t device, uint32_t function) {
  return send_command(bus, device, function, PELLOR_CARD_DISARM, 0);
}

uint32_t get_action_count(uint32_t bus, uint32_t device, uint32_t function, uint32_t* value) {
  return query(bus, device, function, PELLOR_CARD_GET_ACTION_COUNT, value);
}

uint32_t arm(uint32_t bus, uint32_t device, uint32_t function) {
  return send_command(bus, device, function, PELLOR_CARD_ARM, 0);
}

uint32_t program_command(uint32_t bus, uint32_t device, uint32_t function,
                         const void* command_map) {
  if (command_map == nullptr) return PELLOR_CARD_FAILED;
  const platform::device_handle handle = card_for(bdf{bus, device, function});
  if (handle == platform::invalid_handle) return PELLOR_CARD_FAILED;
  PELLOR_CARD_COMMAND_PACKET_t packet{};
  packet.command = PELLOR_CARD_PROGRAM_COMMAND;
  std::memcpy(packet.u.command_map, command_map, PELLOR_COMMAND_MAP_SIZE);
  return send_request(handle, PELLOR_IOCTL_CARD_COMMAND, &packet, sizeof packet, sizeof packet)
             ? 0u
             : PELLOR_CARD_FAILED;
}

uint32_t set_mode(uint32_t bus, uint32_t device, uint32_t function, uint32_t mode) {
  return send_command(bus, device, function, PELLOR_CARD_SET_MODE, mode);
}

uint32_t get_mode(uint32_t bus, uint32_t device, uint32_t function, uint32_t* mode) {
  return query(bus, device, function, PELLOR_CARD_GET_MODE, mode);
}

uint32_t suspend_logging(uint32_t bus, uint32_t device, uint32_t function) {
  return send_command(bus, device, function, PELLOR_CARD_SET_LOGGING, 1);
}

uint32_t resume_logging(uint32_t bus, uint32_t device, uint32_t function) {
  return send_command(bus, device, function, PELLOR_CARD_SET_LOGGING, 0);
}

}  // namespace

void fill_card_table(ZAM_LIB_INTERFACE_t& table) {
  table.IsZamDevice = is_zam_device;
  table.GetTraceConfig = get_trace_config;
  table.SetTraceConfig = set_trace_config;
  table.GetTraceByteCount = get_trace_byte_count;
  table.WritePatternToTrace = write_pattern_to_trace;
  table.ReadTrace = read_trace;
  table.GetProperties = get_properties;
  table.Command3 = command_3;
  table.Disarm = disarm;
  table.GetActionCount = get_action_count;
  table.Arm = arm;
  table.ProgramCommand = program_command;
  table.SetMode = set_mode;
  table.GetMode = get_mode;
  table.SuspendLogging = suspend_logging;
  table.ResumeLogging = resume_logging;
  table.FindUpstreamPair = find_upstream_pair;
}

}  // namespace pellor
