// The device record behind every device handle, and the one way records are made.
#pragma once

#include <cstdint>
#include <vector>

#include "device/intrusive_list.h"
#include "vexo.h"

namespace vexo {

inline constexpr uint32_t config_copy_size = 256;
// Discovery reads this many bytes at offset 0 into a zeroed buffer of config_copy_size.
inline constexpr uint32_t discovery_read_size = 64;

struct device_record {
  list_item link;        // in the framework handle's found-device list, when linked
  device_record* parent;  // set by OpenDevice; owned by this record's user
  uint8_t bus;
  uint8_t device;
  uint8_t function;
  uint32_t opened;
  uint16_t vendor_id;
  uint16_t device_id;
  uint32_t is_card;        // 1 when the card table reports this function as a ZAM card
  uint8_t* trace_buffer;   // last trace buffer read from the card; owned by the record
  uint32_t trace_byte_count;
  uint8_t config[config_copy_size];  // first 64 bytes of configuration space, zeros after
  VEXO_HANDLE_t framework;
  // Positions of the TLP records in the trace copy, built on the first lookup by index and
  // dropped whenever the copy is replaced or freed; derived data, freed with the record.
  std::vector<uint32_t>* tlp_positions;
};

// Makes a zeroed record for bus/device/function from the discovery buffer. Without memory:
// VEXO_STATUS_INSUFFICIENT_RESOURCES and a null handle. Freed by CloseDevice.
VEXO_STATUS_t make_device_record(uint8_t bus, uint8_t device, uint8_t function,
                                 const uint8_t (&config)[config_copy_size],
                                 VEXO_DEVICE_HANDLE_t* record);

inline device_record* record_from_handle(VEXO_DEVICE_HANDLE_t handle) {
  return static_cast<device_record*>(handle);
}

// Frees a record made by make_device_record: the record and its TLP position index, not the
// parent record nor the trace copy.
void free_device_record(VEXO_DEVICE_HANDLE_t handle);

}  // namespace vexo
